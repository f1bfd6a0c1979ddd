#pragma once
// The Shift command's dialog: how far to move the chosen times (days,
// hours, minutes, seconds) and which way. Modal over the main window, in
// its font and at its scale.

#include <windows.h>

#include <cstdint>
#include <optional>

namespace kalvera {

// The seconds to move the times by (negative: earlier), or nothing when the
// dialog was cancelled. textHeight is the owner's font height, by which
// lengths given for a 12-pixel font are scaled.
std::optional<std::int64_t> AskShift(HWND owner, HFONT font, int textHeight);

inline constexpr wchar_t kShiftCaption[] = L"時刻をずらす";
inline constexpr wchar_t kShiftRangeText[] = L"%s は 0 から %s までの数で指定してください。";
inline constexpr wchar_t kShiftNothingText[] = L"ずらす時間を指定してください。";

} // namespace kalvera
