#include "core/readers/NameDate.h"
#include "datetime/Calendar.h"

#include <vector>

namespace kalvera {
namespace {

// A run of ASCII digits in the name, and the character before and after it
// (0 at the name's ends).
struct Run {
    std::size_t at, length;
    int Value(std::wstring_view name, std::size_t from, std::size_t count) const {
        int value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value = value * 10 + (name[at + from + i] - L'0');
        return value;
    }
};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

std::vector<Run> Runs(std::wstring_view name) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < name.size();) {
        if (!IsDigit(name[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < name.size() && IsDigit(name[end]))
            ++end;
        runs.push_back({i, end - i});
        i = end;
    }
    return runs;
}

std::optional<TakenDate> Checked(TakenDate date) {
    if (date.year < 1980 || date.year > 2107 || date.month < 1 || date.month > 12 || date.day < 1 ||
        date.day > DaysInMonth(date.year, date.month) || date.hour > 23 || date.minute > 59 ||
        date.second > 59)
        return std::nullopt;
    return date;
}

// The character between two runs, when it is the only one there.
wchar_t Between(std::wstring_view name, const Run& a, const Run& b) {
    return b.at == a.at + a.length + 1 ? name[a.at + a.length] : 0;
}

bool OneOf(wchar_t c, std::wstring_view set) {
    return c != 0 && set.find(c) != set.npos;
}

} // namespace

std::optional<TakenDate> DateInName(std::wstring_view name) {
    const std::vector<Run> runs = Runs(name);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& first = runs[i];
        // 20190704_130509, 20190704-130509 and the milliseconds of
        // 030405123; or 20190704-WA0007, a date alone.
        if (first.length == 8) {
            TakenDate date{first.Value(name, 0, 4), first.Value(name, 4, 2),
                           first.Value(name, 6, 2)};
            if (i + 1 < runs.size() && OneOf(Between(name, first, runs[i + 1]), L"_-") &&
                (runs[i + 1].length == 6 || runs[i + 1].length == 9)) {
                const Run& time = runs[i + 1];
                date.hour = time.Value(name, 0, 2);
                date.minute = time.Value(name, 2, 2);
                date.second = time.Value(name, 4, 2);
                if (auto found = Checked(date))
                    return found;
            }
            const std::size_t after = first.at + first.length;
            if (name.substr(after, 3) == L"-WA" && after + 3 < name.size() &&
                IsDigit(name[after + 3]))
                if (auto found = Checked(date))
                    return found;
        }
        // 2019-07-04 and its time: -13-05-09, 13.05.09, _13-05-09,
        // " at 13.05.09", or 130509 after one of "-_ T".
        if (first.length == 4 && i + 3 < runs.size()) {
            const Run* parts = &runs[i];
            const std::size_t dayEnd = parts[2].at + parts[2].length;
            const std::wstring_view gap = name.substr(dayEnd, parts[3].at - dayEnd);
            const bool dated = Between(name, parts[0], parts[1]) == L'-' &&
                               Between(name, parts[1], parts[2]) == L'-' && parts[1].length == 2 &&
                               parts[2].length == 2 &&
                               ((gap.size() == 1 && OneOf(gap[0], L"-_ T")) || gap == L" at ");
            TakenDate date{first.Value(name, 0, 4), parts[1].Value(name, 0, 2),
                           parts[2].Value(name, 0, 2)};
            if (dated && parts[3].length == 6 && gap != L" at ") {
                date.hour = parts[3].Value(name, 0, 2);
                date.minute = parts[3].Value(name, 2, 2);
                date.second = parts[3].Value(name, 4, 2);
                if (auto found = Checked(date))
                    return found;
            }
            if (dated && i + 5 < runs.size() && parts[3].length == 2 && parts[4].length == 2 &&
                parts[5].length == 2) {
                const wchar_t timeMark = Between(name, parts[3], parts[4]);
                date.hour = parts[3].Value(name, 0, 2);
                date.minute = parts[4].Value(name, 0, 2);
                date.second = parts[5].Value(name, 0, 2);
                if (OneOf(timeMark, L"-.:_") && Between(name, parts[4], parts[5]) == timeMark)
                    if (auto found = Checked(date))
                        return found;
            }
        }
    }
    // LINE_ALBUM_<album>_230514_1: the day an album's photo was saved, as
    // yymmdd before its number at the end of the name.
    const std::size_t dot = name.find_last_of(L'.');
    const std::wstring_view stem = name.substr(0, dot);
    if (stem.starts_with(L"LINE_ALBUM_") && runs.size() >= 2) {
        const Run& day = runs[runs.size() - 2];
        const Run& number = runs.back();
        if (day.length == 6 && Between(name, day, number) == L'_' &&
            number.at + number.length == stem.size() && day.at > 0 && name[day.at - 1] == L'_')
            if (auto found = Checked(
                    {2000 + day.Value(name, 0, 2), day.Value(name, 2, 2), day.Value(name, 4, 2)}))
                return found;
    }
    return std::nullopt;
}

} // namespace kalvera
