// The texts the page shows for EXIF items and the values it sends back, type by type, with the
// awkward cases: unsigned numbers past the signed range, negative numbers sent for unsigned types,
// denominators of 1 and 0, empty tokens, hexadecimal tokens that overflow a byte, and the
// identifiers that request members are named with.
#include "props/exif/ExifItemText.h"
#include "tests/props/exif/ExifTestBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const Latin1CodePage kLatin1;

Bytes Little16(std::initializer_list<uint16_t> numbers)
{
    Bytes out;
    for (uint16_t number : numbers) {
        out.push_back(static_cast<uint8_t>(number));
        out.push_back(static_cast<uint8_t>(number >> 8));
    }
    return out;
}

} // namespace

TEST(ExifItemText, ShowsEachTypeAsThePageReadsIt)
{
    const struct {
        uint16_t type;
        Bytes value;
        std::wstring text;
        uint32_t count;
    } cases[] = {
        {7, {'0', '2', '2', '0'}, L"30 32 32 30", 4},
        {1, {0x00, 0xFF, 0x0A}, L"00 FF 0A", 3},
        {2, {'C', 'a', 'm', 0, 'x'}, L"Cam", 5},
        {2, {'C', 'a', 'f', 0xE9, 0}, L"Caf\u00e9", 5},
        // SHORT, LONG and RATIONAL are unsigned; SSHORT, SLONG and SRATIONAL signed.
        {3, Little16({1, 65535}), L"1, 65535", 2},
        {3, Little16({32773}), L"32773", 1},
        {3, {0x05}, L"", 0},
        {4, Little32({200, 0xFFFFFFFF}), L"200, 4294967295", 2},
        {4, Little32({0x80000000}), L"2147483648", 1},
        {8, Little16({7, 65535, 0x8000}), L"7, -1, -32768", 3},
        {9, Little32({0xFFFFFFFE}), L"-2", 1},
        {9, Little32({0x7FFFFFFF, 0x80000000}), L"2147483647, -2147483648", 2},
        {5, Little32({72, 1}), L"72", 1},
        {5, Little32({1, 250}), L"1/250", 1},
        {5, Little32({4294967295u, 1}), L"4294967295", 1},
        {5, Little32({4000000000u, 1}), L"4000000000", 1},
        {5, Little32({1, 3000000000u}), L"1/3000000000", 1},
        {5, Little32({48, 1, 51, 1, 3024, 100}), L"48, 51, 3024/100", 3},
        {5, Little32({5, 0}), L"5/0", 1},
        {10, Little32({static_cast<uint32_t>(-1), 3}), L"-1/3", 1},
        {10, Little32({5, static_cast<uint32_t>(-2), 7, 1}), L"5/-2, 7", 2},
        {5, Bytes(12, 0), L"0/0", 1},
        {6, {1, 2}, L"", 0},
        {12, Bytes(8, 0), L"", 0},
    };
    for (const auto& c : cases) {
        const ItemValueText shown = FormatItemValue(ExifItem{0x9000, c.type, c.value}, kLatin1);
        EXPECT_EQ(shown.text, c.text) << "type " << c.type;
        EXPECT_EQ(shown.count, c.count) << "type " << c.type;
        EXPECT_EQ(shown.length, c.value.size());
        EXPECT_EQ(shown.type, c.type);
    }
}

TEST(ExifItemText, ReadsTheTextsThePageSendsIntoValues)
{
    const struct {
        std::wstring text;
        uint16_t type;
        bool written;
        Bytes value;
    } cases[] = {
        {L"30 32 32 30", 7, true, {'0', '2', '2', '0'}},
        // A token is read as hexadecimal after "0x" is put before it: its low byte counts, and a
        // token that already has the prefix does not read.
        {L"FF 1FF 0x10", 1, true, {0xFF, 0xFF, 0x00}},
        {L"  7  zz 12", 1, true, {0x07, 0x00, 0x12}},
        {L"Camera", 2, true, {'C', 'a', 'm', 'e', 'r', 'a', 0}},
        {L"", 2, true, {0}},
        {L"Caf\u00e9", 2, true, {'C', 'a', 'f', 0xE9, 0}},
        {L"1,,-1", 3, true, Little16({1, 65535})},
        {L"65535, 70000", 3, true, Little16({65535, 70000 & 0xFFFF})},
        {L"-1, 4000000000", 4, true, Little32({0xFFFFFFFF, 4000000000u})},
        {L" 6, x, +2", 3, true, Little16({6, 0, 2})},
        {L"4294967295, -2147483648, 99999999999", 4, true, Little32({0xFFFFFFFF, 0x80000000, 0xFFFFFFFF})},
        {L"-7", 9, true, Little32({static_cast<uint32_t>(-7)})},
        {L"72", 5, true, Little32({72, 1})},
        {L"5/", 5, true, Little32({5, 0})},
        {L"/5", 5, true, Little32({5, 1})},
        {L" 1 / 250 , 3", 5, true, Little32({1, 250, 3, 1})},
        {L"-1", 5, true, Little32({4294967295u, 1})},
        {L"4000000000, 1/3000000000", 5, true, Little32({4000000000u, 1, 1, 3000000000u})},
        {L"-1/3", 10, true, Little32({static_cast<uint32_t>(-1), 3})},
        {L"", 3, false, {}},
        {L",,", 5, false, {}},
        {L"   ", 1, false, {}},
        {L"1 2", 6, false, {}},
        {L"-1", 8, false, {}}, // SSHORT is shown, but no type name of the page writes it
    };
    for (const auto& c : cases) {
        Bytes value{0xEE};
        EXPECT_EQ(ParseItemValue(c.text, c.type, kLatin1, value), c.written) << "type " << c.type;
        EXPECT_EQ(value, c.value) << "type " << c.type;
    }
}

TEST(ExifItemText, WritingAShownTextBackRestoresTheValue)
{
    const ExifItem items[] = {
        {0x9000, 7, {'0', '2', '2', '0'}},       {0x9204, 10, Little32({static_cast<uint32_t>(-1), 3})},
        {0x829A, 5, Little32({4294967295u, 1})}, {0xA214, 3, Little16({1, 65535})},
        {0x8831, 4, Little32({1, 0x80000000})},  {0x010F, 2, {'F', 'i', 'x', 0}},
        {0xA001, 3, Little16({65535})},          {0x829A, 5, Little32({4000000000u, 1, 1, 3000000000u})},
    };
    for (const ExifItem& item : items) {
        Bytes value;
        ASSERT_TRUE(ParseItemValue(FormatItemValue(item, kLatin1).text, item.type, kLatin1, value)) << item.id;
        EXPECT_EQ(value, item.value) << item.id;
    }
}

TEST(ExifItemText, SplitsAtTheDelimiterAndDropsEmptyTokens)
{
    using Tokens = std::vector<std::wstring>;
    EXPECT_EQ(SplitTokens(L"1,,-1", L','), (Tokens{L"1", L"-1"}));
    EXPECT_EQ(SplitTokens(L",a,", L','), (Tokens{L"a"}));
    EXPECT_EQ(SplitTokens(L"", L','), Tokens{});
    EXPECT_EQ(SplitTokens(L"a b", L','), (Tokens{L"a b"}));
}

TEST(ExifItemText, NamesTypesExactlyAndTakesUnknownNamesAsUndefined)
{
    const std::pair<std::wstring, uint16_t> cases[] = {
        {L"Byte", 1},  {L"ASCII", 2},      {L"Short", 3}, {L"Long", 4},  {L"Rational", 5}, {L"Undefined", 7},
        {L"SLONG", 9}, {L"SRational", 10}, {L"ascii", 7}, {L"SByte", 7}, {L"", 7},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(TypeFromName(name), type) << name.c_str();
}

TEST(ExifItemText, KeysHaveAtLeastFourUpperCaseDigits)
{
    EXPECT_EQ(ItemKey(271), L"0x010F");
    EXPECT_EQ(ItemKey(0x8769), L"0x8769");
    EXPECT_EQ(ItemKey(0), L"0x0000");
    EXPECT_EQ(ItemKey(0x10000), L"0x10000");
    EXPECT_EQ(ItemKey(0xFFFFFFFF), L"0xFFFFFFFF");
}

TEST(ExifItemText, ReadsMemberNamesAsTheShellReadsIntegers)
{
    const struct {
        std::wstring text;
        bool read;
        int32_t value;
    } cases[] = {
        {L"271", true, 271},       {L"0x010f", true, 271}, {L"0X010F", true, 271},
        {L"  42abc", true, 42},    {L"-5", true, -5},      {L"0x10000", true, 0x10000},
        {L"0xFFFFFFFF", true, -1}, {L"Artist", false, 99}, {L"0x", false, 99},
        {L"", false, 99},          {L"-0x10", true, 16},   {L"+7", true, 7},
    };
    for (const auto& c : cases) {
        int32_t value = 99;
        EXPECT_EQ(ReadShellInteger(c.text, true, value), c.read) << c.text.c_str();
        EXPECT_EQ(value, c.value) << c.text.c_str();
    }
}
