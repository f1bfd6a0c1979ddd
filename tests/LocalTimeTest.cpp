// Each zone's tests run in a process started with that zone (TZ under Wine)
// and skip elsewhere, so they can't pass by accident in the wrong zone.
#include "datetime/TimeZoneSource.h"
#include "core/CommandLine.h"
#include "core/DateText.h"

#include <windows.h>

#include <gtest/gtest.h>

using namespace kalvera;

namespace {

constexpr FileTime kTicksPerHour = 36'000'000'000ULL;

bool ZoneIs(LONG bias, bool daylight) {
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    return zone.Bias == bias && (zone.DaylightDate.wMonth != 0) == daylight;
}

// UTC ticks of a calendar date-time, as the platform counts them.
FileTime Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute = 0) {
    SYSTEMTIME st{year, month, 0, day, hour, minute, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    return (static_cast<FileTime>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FileTime Convert(const wchar_t* text) {
    return LocalDateTimeToFileTime(ParseDateTimeText(text));
}

} // namespace

TEST(TokyoZone, NineHoursBeforeLocalTime) {
    if (!ZoneIs(-540, false))
        GTEST_SKIP() << "needs a UTC+9 zone without daylight saving";
    EXPECT_EQ(LocalDateTimeToFileTime(37622.0), 126858204000000000ULL);
    EXPECT_EQ(Convert(L"2004/7/1 12:00:00"), Utc(2004, 7, 1, 3));
}

TEST(NewYorkZone, EachDateTakesTheOffsetInForceOnThatDate) {
    if (!ZoneIs(300, true))
        GTEST_SKIP() << "needs the US Eastern zone";
    // Winter and summer dates give different offsets, whenever the test runs.
    EXPECT_EQ(Convert(L"2004/1/1 0:00:00"), Utc(2004, 1, 1, 5));
    EXPECT_EQ(Convert(L"2010/1/15 12:00:00"), Utc(2010, 1, 15, 17));
    EXPECT_EQ(Convert(L"2010/7/15 12:00:00"), Utc(2010, 7, 15, 16));
    EXPECT_EQ(Convert(L"2015/12/31 23:59:59") - Convert(L"2015/12/31 0:00:00"),
              kTicksPerHour * 24 - 10'000'000);
}

TEST(NewYorkZone, SkippedHourIsReadWithTheOffsetBeforeTheChange) {
    if (!ZoneIs(300, true))
        GTEST_SKIP() << "needs the US Eastern zone";
    // 2010-03-14: the clocks went from 2:00 standard to 3:00 daylight time.
    EXPECT_EQ(Convert(L"2010/3/14 1:59:00"), Utc(2010, 3, 14, 6, 59));
    EXPECT_EQ(Convert(L"2010/3/14 2:30:00"), Utc(2010, 3, 14, 7, 30));
    EXPECT_EQ(Convert(L"2010/3/14 3:30:00"), Utc(2010, 3, 14, 7, 30));
    // A command line's time names it, or is refused.
    FileTime given = 0;
    EXPECT_FALSE(ParseCommandTime(L"2010-03-14 02:30", given));
    EXPECT_TRUE(ParseCommandTime(L"2010/03/14 03:30:00", given));
    EXPECT_EQ(given, Utc(2010, 3, 14, 7, 30));
}

TEST(NewYorkZone, RepeatedHourIsReadAsItsFirstOccurrence) {
    if (!ZoneIs(300, true))
        GTEST_SKIP() << "needs the US Eastern zone";
    // 2010-11-07: the clocks went back from 2:00 daylight to 1:00 standard.
    EXPECT_EQ(Convert(L"2010/11/7 0:30:00"), Utc(2010, 11, 7, 4, 30));
    EXPECT_EQ(Convert(L"2010/11/7 1:30:00"), Utc(2010, 11, 7, 5, 30));
    EXPECT_EQ(Convert(L"2010/11/7 2:30:00"), Utc(2010, 11, 7, 7, 30));
}

TEST(AnyZone, FileTimesHoldWholeSeconds) {
    for (int hour = 0; hour < 24; ++hour)
        for (const wchar_t* rest : {L":00:00", L":07:59", L":59:01"}) {
            const std::wstring text = L"2012/2/29 " + std::to_wstring(hour) + rest;
            EXPECT_EQ(Convert(text.c_str()) % 10'000'000, 0u);
        }
}

// With the automatic adjustment switched off, the standard offset holds all
// year, summer included, as it does for the system clock. Windows then
// answers that it can't tell standard from daylight time (UNKNOWN).
TEST(NewYorkZone, DaylightSavingSwitchedOffByTheUserKeepsTheStandardOffset) {
    if (!ZoneIs(300, true))
        GTEST_SKIP() << "needs the US Eastern zone";
    const FileTime summer = Utc(2010, 7, 15, 16), winter = Utc(2010, 1, 15, 17);
    auto previous = SetTimeZoneSource([](DYNAMIC_TIME_ZONE_INFORMATION& zone) {
        GetDynamicTimeZoneInformation(&zone);
        zone.DynamicDaylightTimeDisabled = TRUE;
        return DWORD(TIME_ZONE_ID_UNKNOWN);
    });
    const FileTime july = Convert(L"2010/7/15 12:00:00");
    const FileTime january = Convert(L"2010/1/15 12:00:00");
    const FileTime skipped = Convert(L"2010/3/14 2:30:00");
    SetTimeZoneSource(previous);
    EXPECT_EQ(july, summer + kTicksPerHour);
    EXPECT_EQ(january, winter);
    EXPECT_EQ(skipped, Utc(2010, 3, 14, 7, 30));
    // And back on, the summer offset again.
    EXPECT_EQ(Convert(L"2010/7/15 12:00:00"), summer);
}

TEST(NewYorkZone, HistoricalRulesWhereThePlatformKeepsThem) {
    if (!ZoneIs(300, true))
        GTEST_SKIP() << "needs the US Eastern zone";
    // Until 2006 daylight time began on the first Sunday of April.
    EXPECT_EQ(Convert(L"2003/3/20 0:00:00"), Utc(2003, 3, 20, 5));
    EXPECT_EQ(Convert(L"2003/4/20 0:00:00"), Utc(2003, 4, 20, 4));
}
