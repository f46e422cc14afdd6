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

