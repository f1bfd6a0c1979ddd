#pragma once
// Proleptic Gregorian calendar arithmetic on the DateTime epoch 1899-12-30.

namespace kalvera {

struct CivilDate {
    int year, month, day;
};

constexpr bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1899-12-30 to the date (negative before it).
constexpr long DaysSinceEpoch(int year, int month, int day) {
    // Days from civil, with March as the first month of the computing year.
    const int y = year - (month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    constexpr long kUnixFromEpoch = 25569; // 1899-12-30 to 1970-01-01
    return static_cast<long>(era) * 146097 + doe - 719468 + kUnixFromEpoch;
}

constexpr CivilDate DateFromDays(long days) {
    const long z = days - 25569 + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (month <= 2)), month, day};
}

static_assert(DaysSinceEpoch(1899, 12, 30) == 0);
static_assert(DaysSinceEpoch(2003, 1, 1) == 37622);
static_assert(DateFromDays(37622).year == 2003 && DateFromDays(37622).day == 1);

} // namespace kalvera
