#pragma once
// A command line's run, undo or history carried out without a window,
// through the same runs as the window's: what the window would show in
// boxes is printed to the console, questions are answered no, and the
// outcome ends as the exit code.

#include "core/CommandLine.h"

#include <string>

namespace kalvera {

class Console;

enum CommandExit : int {
    kExitDone = 0,         // every target written, or at its time already
    kExitLeftAlone = 1,    // some named and left alone
    kExitBadArguments = 2, // nothing written
    kExitStopped = 3,      // Ctrl+C, a journal or a folder that failed
    kExitNothingToUndo = 4
};

// journals: the folder of the run journals.
int RunCommandLine(const ParsedCommand& parsed, Console& console, const std::wstring& journals);

inline constexpr std::wstring_view kUsageHintText = L"使い方は Kalvera.exe /? で表示します。";
inline constexpr std::wstring_view kNothingToUndoText = L"元に戻す変更はありません。";
inline constexpr std::wstring_view kAnsweredNoText =
    L"いいえ (コマンドラインでは変更しません。ウィンドウから元に戻せます)";
inline constexpr std::wstring_view kEveryFileText = L"一覧:";

} // namespace kalvera
