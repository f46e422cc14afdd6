#include "core/DateTime.h"
#include "tests/support/DateTimeTexts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

TEST(SplitDateTime, SplitsTheSixFieldsBeforeAnyRangeCheck)
{
    const std::array<int, 6> expected{2021, 2, 31, 25, 61, 99};
    EXPECT_EQ(SplitDateTime(L"2021/2/31 25:61:99"), expected);
    EXPECT_EQ(SplitDateTime(L"2021-02-31 25:61:99"), expected);
    EXPECT_EQ(SplitDateTime(L"a:b:c:d:e:f"), (std::array<int, 6>{}));
}

TEST(SplitDateTime, FindsNoFieldsInATextWithoutTheDateTimeShape)
{
    for (const wchar_t* text : kShapelessTexts)
        EXPECT_FALSE(SplitDateTime(text).has_value()) << text;
    EXPECT_FALSE(SplitDateTime(L"").has_value());
}

TEST(SplitDateTime, ReadsEachFieldAsADecimalPrefixAndStopsAtTheLimitsOfInt)
{
    // A minus sign is a separator, so only a plus sign can lead a field.
    const struct {
        const wchar_t* text;
        DateTimeFields fields;
    } cases[] = {
        {L"+2020:+1:31x 13:45:00.9", {2020, 1, 31, 13, 45, 0}},
        {L"2020:01:31 13:45:x7", {2020, 1, 31, 13, 45, 0}},
        {L"4294969296:1:1 0:0:0", {2147483647, 1, 1, 0, 0, 0}},
        {L"99999999999999999999999:1:1 0:0:0", {2147483647, 1, 1, 0, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitDateTime(c.text), c.fields) << c.text;
}

TEST(DateTimeFieldsInRange, ChecksEachFieldOnItsOwnWhateverTheMonth)
{
    const struct {
        DateTimeFields fields;
        bool inRange;
    } cases[] = {
        {{2020, 1, 31, 13, 45, 0}, true}, {{1900, 1, 1, 0, 0, 0}, true},   {{2021, 2, 31, 23, 59, 59}, true},
        {{1899, 12, 31, 0, 0, 0}, false}, {{2020, 0, 1, 0, 0, 0}, false},  {{2020, 13, 1, 0, 0, 0}, false},
        {{2020, 1, 0, 0, 0, 0}, false},   {{2020, 1, 32, 0, 0, 0}, false}, {{2020, 1, 1, 24, 0, 0}, false},
        {{2020, 1, 1, -1, 0, 0}, false},  {{2020, 1, 1, 0, 60, 0}, false}, {{2020, 1, 1, 0, 0, 60}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DateTimeFieldsInRange(c.fields), c.inRange)
            << c.fields[0] << "-" << c.fields[1] << "-" << c.fields[2];
}

TEST(FormatDateTime, PrintsNineteenCharactersWithLeadingZeros)
{
    EXPECT_EQ(FormatDateTime({2020, 1, 31, 13, 45, 0}), L"2020:01:31 13:45:00");
    EXPECT_EQ(FormatDateTime({1970, 12, 1, 0, 0, 9}), L"1970:12:01 00:00:09");
    EXPECT_EQ(FormatDateTime({3000, 12, 31, 23, 59, 59}), L"3000:12:31 23:59:59");
    // What is printed reads back as the same fields.
    const DateTimeFields fields{2021, 7, 4, 5, 6, 7};
    EXPECT_EQ(SplitDateTime(FormatDateTime(fields)), fields);
}

TEST(LocalTime, RefusesInstantsOutsideTheRangeOfTheTimeText)
{
    EXPECT_FALSE(TimeToLocalFields(-1).has_value());
    EXPECT_FALSE(TimeToLocalFields(kLastDateTimeValue + 1).has_value());
    EXPECT_FALSE(TimeToLocalFields(-(1LL << 62)).has_value());
    EXPECT_FALSE(LocalFieldsToTime({1850, 6, 1, 0, 0, 0}).has_value());
    EXPECT_FALSE(LocalFieldsToTime({3001, 6, 1, 0, 0, 0}).has_value());
    EXPECT_FALSE(LocalFieldsToTime({2147483647, 1, 1, 0, 0, 0}).has_value());
}

TEST(LocalTime, ConvertsFieldsToSecondsAndBackUnchanged)
{
    for (long long value : {86400LL, 1580474700LL, 4102444800LL, kLastDateTimeValue - 86400}) {
        const auto fields = TimeToLocalFields(value);
        ASSERT_TRUE(fields.has_value()) << value;
        EXPECT_EQ(LocalFieldsToTime(*fields), value) << value;
    }
    // A day past its month's end is carried into the next month.
    const auto carried = LocalFieldsToTime({2021, 2, 31, 10, 0, 0});
    ASSERT_TRUE(carried.has_value());
    EXPECT_EQ(TimeToLocalFields(*carried), (DateTimeFields{2021, 3, 3, 10, 0, 0}));
}
