#include "datetime/LocalTime.h"
#include "datetime/Calendar.h"
#include "datetime/SystemTime.h"
#include "datetime/TimeZoneSource.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kalvera {
namespace {

constexpr long long kTicksPerMinute = 600'000'000;
constexpr long long kMsPerDay = 86'400'000;

TimeZoneSource& InstalledSource() {
    static TimeZoneSource source;
    return source;
}

DWORD ReadDynamicZone(DYNAMIC_TIME_ZONE_INFORMATION& dynamic) {
    if (const TimeZoneSource& source = InstalledSource())
        return source(dynamic);
    return GetDynamicTimeZoneInformation(&dynamic);
}

// The zone's rules for the given year where the platform keeps them by year
// (rules change: the US moved its daylight saving dates in 2007); the
// current rules otherwise. With the automatic daylight-saving adjustment
// switched off by the user, the standard offset holds all year, as it does
// for the system clock.
TIME_ZONE_INFORMATION ZoneRulesForYear(int year) {
    TIME_ZONE_INFORMATION zone{};
    DYNAMIC_TIME_ZONE_INFORMATION dynamic{};
    const DWORD found = ReadDynamicZone(dynamic);
    if (found == TIME_ZONE_ID_INVALID ||
        !GetTimeZoneInformationForYear(static_cast<USHORT>(year), &dynamic, &zone))
        GetTimeZoneInformation(&zone);
    if (found != TIME_ZONE_ID_INVALID && dynamic.DynamicDaylightTimeDisabled) {
        zone.DaylightDate = {};
        zone.DaylightBias = 0;
    }
    return zone;
}

bool ShowsAsLocal(const TIME_ZONE_INFORMATION& zone, FileTime utc, FileTime local) {
    SYSTEMTIME utcTime, localTime;
    FILETIME ft = ToFileTime(utc);
    if (!FileTimeToSystemTime(&ft, &utcTime) ||
        !SystemTimeToTzSpecificLocalTime(&zone, &utcTime, &localTime) ||
        !SystemTimeToFileTime(&localTime, &ft))
        return false;
    return FromFileTime(ft) == local;
}

FileTime LocalTicksToUtc(FileTime local, const TIME_ZONE_INFORMATION& zone) {
    const FileTime standard = local + (zone.Bias + zone.StandardBias) * kTicksPerMinute;
    if (zone.DaylightDate.wMonth == 0)
        return standard;
    const FileTime daylight = local + (zone.Bias + zone.DaylightBias) * kTicksPerMinute;
    const bool isStandard = ShowsAsLocal(zone, standard, local);
    const bool isDaylight = ShowsAsLocal(zone, daylight, local);
    if (isStandard != isDaylight)
        return isStandard ? standard : daylight;
    // Both: the hour repeated when the clocks go back; its first occurrence
    // is the earlier instant. Neither: the hour skipped when they go forward;
    // the offset in force before the change gives the later instant.
    return isStandard ? std::min(standard, daylight) : std::max(standard, daylight);
}

} // namespace

TimeZoneSource SetTimeZoneSource(TimeZoneSource source) {
    return std::exchange(InstalledSource(), std::move(source));
}

SYSTEMTIME SystemTimeFromDateTime(DateTime value) {
    const long long ms = std::llround(value * kMsPerDay);
    long long days = ms / kMsPerDay;
    long long msOfDay = ms % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --days;
    }
    const CivilDate date = DateFromDays(static_cast<long>(days));
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date.year);
    st.wMonth = static_cast<WORD>(date.month);
    st.wDay = static_cast<WORD>(date.day);
    // 1899-12-30 was a Saturday.
    st.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 6) % 7);
    st.wHour = static_cast<WORD>(msOfDay / 3'600'000);
    st.wMinute = static_cast<WORD>(msOfDay / 60'000 % 60);
    st.wSecond = static_cast<WORD>(msOfDay / 1000 % 60);
    st.wMilliseconds = static_cast<WORD>(msOfDay % 1000);
    return st;
}

DateTime FileTimeToLocalDateTime(FileTime utc) {
    SYSTEMTIME utcTime{}, local{};
    const FILETIME ft = ToFileTime(utc);
    FileTimeToSystemTime(&ft, &utcTime);
    const TIME_ZONE_INFORMATION zone = ZoneRulesForYear(utcTime.wYear);
    if (!SystemTimeToTzSpecificLocalTime(&zone, &utcTime, &local))
        local = utcTime;
    return DateTimeFromSystemTime(local);
}

DateTime DateTimeFromSystemTime(const SYSTEMTIME& time) {
    return static_cast<DateTime>(DaysSinceEpoch(time.wYear, time.wMonth, time.wDay)) +
           (time.wHour * 3600 + time.wMinute * 60 + time.wSecond) / 86400.0;
}

FileTime LocalDateTimeToFileTime(DateTime local) {
    return LocalTimeConverter().ToUtc(local);
}

FileTime LocalTimeConverter::ToUtc(DateTime local) {
    const SYSTEMTIME st = SystemTimeFromDateTime(local);
    std::unique_lock guard(lock_);
    auto rules = rules_.find(st.wYear);
    if (rules == rules_.end())
        rules = rules_.emplace(st.wYear, ZoneRulesForYear(st.wYear)).first;
    guard.unlock(); // an entry of the map stays where it is
    FILETIME localTime{};
    SystemTimeToFileTime(&st, &localTime);
    return LocalTicksToUtc(FromFileTime(localTime), rules->second);
}

} // namespace kalvera
