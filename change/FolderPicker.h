#pragma once
// The system's folder picker, asking for the folder a run takes times from.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kalvera {

// A file-system folder chosen, starting at start; nothing when cancelled.
std::optional<std::wstring> AskFolder(HWND owner, std::wstring_view title, std::wstring_view start);

inline constexpr wchar_t kSourceFolderTitle[] =
    L"時刻を取るフォルダを選んでください (元のファイルのあるフォルダ)";

} // namespace kalvera
