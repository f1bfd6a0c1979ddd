#pragma once
// Dates and times as the program keeps them, and local time to and from
// UTC by the user's time zone: below the shell controls and the core alike.

#include <cstdint>

namespace kalvera {

// Days since 1899-12-30; the fraction is the time of day. Local time here.
using DateTime = double;
// 100-ns ticks since 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

// Local date-time to UTC, with the offset in force at that local time (the
// zone's rules for that year, daylight saving included):
// - a local time skipped when the clocks go forward is read with the offset
//   in force before the change, so it lands as far after the gap as it was
//   into it (2:30 in a one-hour gap is stored as 3:30 daylight time);
// - a local time that occurs twice when the clocks go back is read as its
//   first occurrence (still daylight time).
FileTime LocalDateTimeToFileTime(DateTime local);

// UTC to local time by the same rules, whole seconds (the inverse of
// LocalDateTimeToFileTime outside the hour the clocks repeat).
DateTime FileTimeToLocalDateTime(FileTime utc);

} // namespace kalvera
