#include "core/DateText.h"
#include "core/RunTimestampChange.h"
#include "datetime/Calendar.h"
#include "datetime/SystemTime.h"
#include "win/Error.h"

#include <optional>

namespace kalvera {

std::wstring ComposeDateText(const SelectorTexts& t) {
    return t.year + L"/" + t.month + L"/" + t.day + L" " + t.hour + L":" + t.minute + L":" +
           t.second;
}

SelectorTexts SelectorTextsOf(DateTime local) {
    const SYSTEMTIME t = SystemTimeFromDateTime(local);
    auto twoDigits = [](int n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); };
    return {std::to_wstring(t.wYear), std::to_wstring(t.wMonth), std::to_wstring(t.wDay),
            std::to_wstring(t.wHour), twoDigits(t.wMinute),      twoDigits(t.wSecond)};
}

std::wstring DateTextOf(DateTime local) {
    return ComposeDateText(SelectorTextsOf(local));
}

namespace {

class DateTextReader {
public:
    explicit DateTextReader(std::wstring_view text) : text_(text) {}

    void SkipSpaces() {
        while (pos_ < text_.size() && text_[pos_] == L' ')
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool Take(wchar_t c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    // A run of ASCII digits; values past any valid field saturate instead of
    // overflowing, so they still fail the range checks.
    std::optional<int> Number() {
        SkipSpaces();
        size_t start = pos_;
        long value = 0;
        while (pos_ < text_.size() && text_[pos_] >= L'0' && text_[pos_] <= L'9') {
            value = std::min(value * 10 + (text_[pos_] - L'0'), 1'000'000L);
            ++pos_;
        }
        if (pos_ == start)
            return std::nullopt;
        return static_cast<int>(value);
    }

private:
    std::wstring_view text_;
    size_t pos_ = 0;
};

std::optional<DateTime> Read(std::wstring_view text) {
    DateTextReader r(text);
    auto year = r.Number();
    r.SkipSpaces();
    if (!year || !r.Take(L'/'))
        return std::nullopt;
    auto month = r.Number();
    r.SkipSpaces();
    if (!month || !r.Take(L'/'))
        return std::nullopt;
    auto day = r.Number();
    if (!day)
        return std::nullopt;
    r.Take(L'/');
    r.SkipSpaces();

    int hour = 0, minute = 0, second = 0;
    if (!r.AtEnd()) {
        auto h = r.Number();
        if (!h)
            return std::nullopt;
        hour = *h;
        r.SkipSpaces();
        if (r.Take(L':')) {
            auto m = r.Number();
            if (!m)
                return std::nullopt;
            minute = *m;
            r.SkipSpaces();
            if (r.Take(L':')) {
                auto s = r.Number();
                if (!s)
                    return std::nullopt;
                second = *s;
            }
        }
    }
    if (*year < 1 || *year > 9999 || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month))
        return std::nullopt;
    if (hour >= 24 || minute >= 60 || second >= 60)
        return std::nullopt;
    return static_cast<DateTime>(DaysSinceEpoch(*year, *month, *day)) +
           (hour * 3600 + minute * 60 + second) / 86400.0;
}

} // namespace

DateTime ParseDateTimeText(std::wstring_view text) {
    if (auto value = Read(text))
        return *value;
    throw Error(FormatMessageText(kConversionErrorText, text));
}

} // namespace kalvera
