#pragma once
// The platform's forms of the program's times: its calendar record of a
// DateTime, and the two halves of a FileTime.

#include "datetime/LocalTime.h"
#include "win/Sync.h"

#include <windows.h>

#include <map>

namespace kalvera {

// Date, day of the week and time of day, to the nearest millisecond.
SYSTEMTIME SystemTimeFromDateTime(DateTime value);
// The record's date and time in whole seconds.
DateTime DateTimeFromSystemTime(const SYSTEMTIME& time);

// Local date-times to UTC as LocalDateTimeToFileTime converts them, with
// the zone's rules read once per year: reading them costs more than the
// rest of a file's write, so a run over many files keeps one of these, on
// as many threads as it writes on.
class LocalTimeConverter {
public:
    FileTime ToUtc(DateTime local);

private:
    Mutex lock_;
    std::map<int, TIME_ZONE_INFORMATION> rules_;
};

inline FILETIME ToFileTime(FileTime ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline FileTime FromFileTime(const FILETIME& ft) {
    return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

} // namespace kalvera
