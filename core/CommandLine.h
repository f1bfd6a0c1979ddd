#pragma once
// The command line of a run without the window: "Kalvera.exe /run ...",
// "/undo", "/history" and "/?". Switches start with "/" or "-" and are read
// without regard to case. Paths alone keep their meaning: the window opens
// with them.

#include "core/FileTimes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

enum class CommandAction { Window, Run, Undo, History, Usage };
// Where a run's times come from: exactly one of them.
enum class TimeSource { None, Set, Shift, Photo, Name, Sidecar, Contents, From };

struct CommandLine {
    CommandAction action = CommandAction::Window;
    std::vector<std::wstring> paths; // fully qualified, each there
    bool subfolders = false;         // /sub: whole trees
    bool folders = false;            // /folders: folders' own times too
    bool preview = false, quiet = false;
    std::wstring filter;  // /filter, as 対象:
    std::wstring csv;     // /csv: the report's file, fully qualified
    TimestampKinds kinds; // /c, /w, /a
    TimeSource source = TimeSource::None;
    FileTime time = 0;             // /set, in UTC
    std::int64_t shiftSeconds = 0; // /shift
    std::wstring from;             // /from, fully qualified
};

// The command, or the one line that says what is wrong with it (then
// nothing may be written). Relative paths are taken against folder, the
// current one; now is the time /set now stands for.
struct ParsedCommand {
    CommandLine command;
    std::wstring error;
};
ParsedCommand ParseCommandLine(const std::vector<std::wstring>& arguments, std::wstring_view folder,
                               FileTime now);

// Reads "2004-04-01 09:30:00" (or "/" between the parts; seconds may be
// left out) as local time. False for a text that is no such date, a date
// that does not exist, a time the change to daylight saving time skips,
// or a year outside 1980 to 2107, as the window's lists offer.
bool ParseCommandTime(std::wstring_view text, FileTime& utc);
// Reads "+1:00:00", "-3d", "2d 4:30", "90m", "-1h30m15s": days, hours,
// minutes and seconds, earlier with "-". False for anything else, no move
// at all, or more than 36500 days.
bool ParseCommandShift(std::wstring_view text, std::int64_t& seconds);

inline constexpr std::wstring_view kCommandUsageText =
    L"使い方 / Usage:\n"
    L"  Kalvera.exe /run [/c] [/w] [/a] SOURCE [/sub] [/folders] [/filter \"*.jpg;*.heic\"]\n"
    L"              [/preview] [/csv FILE] [/quiet] PATH...\n"
    L"  Kalvera.exe /undo [/quiet]\n"
    L"  Kalvera.exe /history\n"
    L"\n"
    L"SOURCE (ひとつ / exactly one):\n"
    L"  /set \"2004-04-01 09:30:00\" | /set now   指定の日時 (ローカル時刻) / the time given, "
    L"local\n"
    L"  /shift \"+1:00:00\" | /shift -3d          時刻をずらす / move each time (d, h, m, s)\n"
    L"  /photo      撮影日時に合わせる / the date each photo or video was taken\n"
    L"  /name       ファイル名の日時に合わせる / the date in each file's name\n"
    L"  /sidecar    JSON/XMPの日時に合わせる / the date in the JSON or XMP file beside each\n"
    L"  /contents   フォルダの日時を中身に合わせる / folders: the newest time of what they hold\n"
    L"  /from DIR   別のフォルダに合わせる / the times of each file's copy below DIR\n"
    L"\n"
    L"  /c /w /a    作成・更新・アクセス日時 / creation, last write, last access (1 or more)\n"
    L"  /sub        サブフォルダも含めて変更 / whole trees below the folders given\n"
    L"  /folders    フォルダも対象にする / folders' own times too\n"
    L"  /filter     対象のファイル名 / the names to change\n"
    L"  /preview    書き込まずに予定を表示 / print the plan, write nothing\n"
    L"  /csv FILE   結果をCSVで保存 / save the report as CSV\n"
    L"  /quiet      エラーだけを表示 / print errors only\n"
    L"  /undo       最後の変更を元に戻す / undo the latest run not undone yet\n"
    L"  /history    履歴を表示 / list the runs kept\n"
    L"\n"
    L"終了コード / exit codes: 0 すべて変更 / all written, 1 変更しなかったファイルあり / some\n"
    L"left alone, 2 引数の誤り / bad arguments, 3 中止 / stopped, 4 元に戻す変更なし / nothing to "
    L"undo";

} // namespace kalvera
