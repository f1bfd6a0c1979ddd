#include "core/DateText.h"
#include "core/RunTimestampChange.h"
#include "win/Error.h"

#include <gtest/gtest.h>

using namespace kalvera;

namespace {

SelectorTexts Texts(std::wstring year, std::wstring month, std::wstring day,
                    std::wstring hour = L"0", std::wstring minute = L"00",
                    std::wstring second = L"00") {
    return {year, month, day, hour, minute, second};
}

std::wstring ConversionMessage(const SelectorTexts& texts) {
    try {
        ParseDateTimeText(ComposeDateText(texts));
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(read without error)";
}

} // namespace

TEST(DateText, ComposesTheSelectorTextsUnchanged) {
    EXPECT_EQ(ComposeDateText(Texts(L"2003", L"1", L"1")), L"2003/1/1 0:00:00");
    EXPECT_EQ(ComposeDateText(Texts(L"2004", L"4", L"1", L"9", L"30", L"05")), L"2004/4/1 9:30:05");
}

TEST(DateText, ReadsDateAndWholeSecondTime) {
    EXPECT_EQ(ParseDateTimeText(L"2003/1/1 0:00:00"), 37622.0);
    EXPECT_EQ(ParseDateTimeText(L"1899/12/30 0:00:00"), 0.0);
    const DateTime t = ParseDateTimeText(L"2004/4/1 9:30:05");
    EXPECT_EQ(static_cast<long>(t), 38078);
    EXPECT_NEAR((t - 38078) * 86400, 9 * 3600 + 30 * 60 + 5, 1e-6);
    EXPECT_NEAR((ParseDateTimeText(L"2015/12/31 23:59:59") - 42369) * 86400, 86399, 1e-6);
}

TEST(DateText, TwentyNinthOfFebruaryOnlyInLeapYears) {
    for (int year = 1985; year <= 2015; ++year) {
        const bool leap = year % 4 == 0; // 2000 included: divisible by 400
        const auto texts = Texts(std::to_wstring(year), L"2", L"29");
        if (leap) {
            EXPECT_NO_THROW(ParseDateTimeText(ComposeDateText(texts))) << year;
        } else {
            EXPECT_THROW(ParseDateTimeText(ComposeDateText(texts)), Error) << year;
        }
    }
}

TEST(DateText, ImpossibleDatesAndHour24RaiseTheConversionError) {
    EXPECT_EQ(ConversionMessage(Texts(L"2003", L"1", L"1", L"24")),
              L"'2003/1/1 24:00:00' は日付または時刻ではありません");
    for (const wchar_t* month : {L"4", L"6", L"9", L"11"})
        EXPECT_EQ(ConversionMessage(Texts(L"2010", month, L"31")),
                  L"'2010/" + std::wstring(month) + L"/31 0:00:00' は日付または時刻ではありません");
    for (const wchar_t* day : {L"30", L"31"})
        EXPECT_THROW(ParseDateTimeText(ComposeDateText(Texts(L"2000", L"2", day))), Error);
    for (const wchar_t* month : {L"1", L"3", L"5", L"7", L"8", L"10", L"12"})
        EXPECT_NO_THROW(ParseDateTimeText(ComposeDateText(Texts(L"2010", month, L"31"))));
}

// The text is written year first with "/" and ":" and read the same way,
// whatever the locale; this test runs again under an en-US locale.
TEST(DateText, OtherFormsAreNotRead) {
    for (const wchar_t* text : {L"2003-1-1 0:00:00", L"1/1/2003 0:00:00", L"", L"2003/1",
                                L"0/1/1 0:00:00", L"2003/13/1 0:00:00", L"2003/1/1 0:60:00",
                                L"2003/1/1 0:00:60", L"99999999999/1/1 0:00:00"})
        EXPECT_THROW(ParseDateTimeText(text), Error) << ToUtf8(text);
    EXPECT_EQ(ParseDateTimeText(L" 2003 / 1 / 1  0 : 00 : 00"), 37622.0);
}

// Where the leap-year rule turns: every 100th year is no leap year, every
// 400th is.
TEST(DateText, CenturiesAreLeapYearsEveryFourHundredYears) {
    EXPECT_THROW(ParseDateTimeText(L"1900/2/29 0:00:00"), Error);
    EXPECT_NO_THROW(ParseDateTimeText(L"2000/2/29 0:00:00"));
    EXPECT_THROW(ParseDateTimeText(L"2100/2/29 0:00:00"), Error);
    EXPECT_NO_THROW(ParseDateTimeText(L"2104/2/29 0:00:00"));
    EXPECT_EQ(ParseDateTimeText(L"1900/3/1 0:00:00") - ParseDateTimeText(L"1900/2/28 0:00:00"),
              1.0);
    // The last second of a day and the first of the next.
    EXPECT_NEAR((ParseDateTimeText(L"2003/1/2 0:00:00") - ParseDateTimeText(L"2003/1/1 23:59:59")) *
                    86400,
                1.0, 1e-6);
}
