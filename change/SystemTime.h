#pragma once
// The platform's forms of the core's times: its calendar record of a
// DateTime, and the two halves of a FileTime.

#include "change/TimestampCore.h"

#include <windows.h>

namespace kalvera {

// Date, day of the week and time of day, to the nearest millisecond.
SYSTEMTIME SystemTimeFromDateTime(DateTime value);
// The record's date and time in whole seconds.
DateTime DateTimeFromSystemTime(const SYSTEMTIME& time);

inline FILETIME ToFileTime(FileTime ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline FileTime FromFileTime(const FILETIME& ft) {
    return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

} // namespace kalvera
