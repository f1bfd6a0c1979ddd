#pragma once
// The date text the six lists compose, read as the Run command reads it, and
// the lists' texts of a date-time.

#include "datetime/LocalTime.h"

#include <string>
#include <string_view>

namespace kalvera {

// The texts of the six selectors, each exactly as its item is written.
struct SelectorTexts {
    std::wstring year, month, day, hour, minute, second;
};

// "year/month/day hour:minute:second", each text unchanged.
std::wstring ComposeDateText(const SelectorTexts& texts);

// Reads a composed date text. The text is always written year first with "/"
// and ":", so it is read that way whatever the user's locale says. Raises
// the conversion error for anything else, an hour of 24 or a day that the
// month does not have.
DateTime ParseDateTimeText(std::wstring_view text);

// The six lists' texts for a date-time, written as their items are: no
// leading zero for month, day and hour, two digits for minute and second.
SelectorTexts SelectorTextsOf(DateTime local);
// The date text of a date-time, composed of those: "2019/7/4 13:05:09".
std::wstring DateTextOf(DateTime local);

} // namespace kalvera
