// The texts the page shows for EXIF items and the values it sends back, type by type, with the
// awkward cases: unsigned numbers past the signed range, negative numbers sent for unsigned types,
// denominators of 1 and 0, empty tokens, hexadecimal tokens that overflow a byte, ASCII texts in
// UTF-8 and in the code page, Windows' UTF-16 items well and badly formed, and the identifiers
// that request members are named with.
#include "props/exif/ExifItemText.h"
#include "tests/props/exif/ExifTestBytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const Latin1CodePage kLatin1;

// A code page that holds only ASCII, as a stand-in for one that holds little of a text.
class AsciiCodePage : public TextCodePage {
public:
    std::wstring Decode(const std::string& bytes) const override
    {
        std::wstring text;
        for (char c : bytes)
            text.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'\uFFFD');
        return text;
    }
    bool EncodeExact(const std::wstring& text, std::string& bytes) const override
    {
        bytes.clear();
        for (wchar_t c : text) {
            if (static_cast<uint32_t>(c) >= 0x80) return false;
            bytes.push_back(static_cast<char>(c));
        }
        return true;
    }
};
const AsciiCodePage kAscii;

const std::wstring kMixed = L"Pr\u00fcfung \u2615 \u65e5\u672c";
// The same in UTF-8 ("\x66" is the "f", written so because "\xBCf" would be one escape).
const std::string kMixedUtf8 = "Pr\xC3\xBC\x66ung \xE2\x98\x95 \xE6\x97\xA5\xE6\x9C\xAC";

Bytes Of(const std::string& bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

// A text's UTF-16LE units, with no terminating unit.
Bytes Utf16Le(const std::wstring& text)
{
    Bytes out;
    for (wchar_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(c) >> 8));
    }
    return out;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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
        {0x9000, 7, {'0', '2', '2', '0'}},
        {0x9204, 10, Little32({static_cast<uint32_t>(-1), 3})},
        {0x829A, 5, Little32({4294967295u, 1})},
        {0xA214, 3, Little16({1, 65535})},
        {0x8831, 4, Little32({1, 0x80000000})},
        {0x010F, 2, {'F', 'i', 'x', 0}},
        {0xA001, 3, Little16({65535})},
        {0x829A, 5, Little32({4000000000u, 1, 1, 3000000000u})},
        {0x010E, 2, Of(kMixedUtf8 + '\0')},
        {0x013B, 2, {'C', 'a', 'f', 0xE9, 0}},
        {0x9C9B, 1, Utf16Le(kMixed) + Bytes{0, 0}},
    };
    for (const ExifItem& item : items) {
        Bytes value;
        ASSERT_TRUE(ParseItemValue(FormatItemValue(item, kLatin1).text, item.id, item.type, kLatin1, value)) << item.id;
        EXPECT_EQ(value, item.value) << item.id;
    }
}

TEST(ExifItemText, ReadsAsciiAsUtf8WhereItIsAndInTheCodePageOtherwise)
{
    const struct {
        std::string bytes;
        std::wstring latin1;
        std::wstring ascii;
    } cases[] = {
        {"Camera", L"Camera", L"Camera"},
        // UTF-8, as other tools write it.
        {"Navy\xC3\xADs", L"Navy\u00eds", L"Navy\u00eds"},
        {kMixedUtf8, kMixed, kMixed},
        // Not UTF-8: the code page's.
        {"Navy\xEDs", L"Navy\u00eds", L"Navy\uFFFDs"},
        {"Caf\xE9", L"Caf\u00e9", L"Caf\uFFFD"},
        {"\xC3\xBC\xFC", L"\u00c3\u00bc\u00fc", L"\uFFFD\uFFFD\uFFFD"},
        // Only the bytes up to the first zero count.
        {std::string("a\xC3\0\xA9", 4), L"a\u00c3", L"a\uFFFD"},
        {std::string("\xC3\xA9\0\xFF", 4), L"\u00e9", L"\u00e9"},
        {"", L"", L""},
    };
    for (const auto& c : cases) {
        Bytes value = Of(c.bytes);
        value.push_back(0);
        const ItemValueText shown = FormatItemValue(ExifItem{0x010E, 2, value}, kLatin1);
        EXPECT_EQ(shown.text, c.latin1) << c.bytes;
        EXPECT_EQ(shown.length, value.size()) << c.bytes;
        EXPECT_EQ(shown.count, value.size()) << c.bytes;
        EXPECT_EQ(FormatItemValue(ExifItem{0x010E, 2, value}, kAscii).text, c.ascii) << c.bytes;
    }
}

TEST(ExifItemText, WritesTextInTheCodePageWhereItHoldsItExactlyAndAsUtf8Otherwise)
{
    const struct {
        std::wstring text;
        std::string latin1;
        std::string ascii;
    } cases[] = {
        {L"Camera", "Camera", "Camera"},
        {L"", "", ""},
        {L"Caf\u00e9", "Caf\xE9", "Caf\xC3\xA9"},
        {L"Navy\u00eds", "Navy\xEDs", "Navy\xC3\xADs"},
        // A character the code page lacks: UTF-8, not '?'.
        {kMixed, kMixedUtf8, kMixedUtf8},
        {L"\u0101", "\xC4\x81", "\xC4\x81"},
        {L"\U0001F600", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        // Held by the code page, but its bytes would read as UTF-8 text of another meaning.
        {L"\u00c3\u00a9", "\xC3\x83\xC2\xA9", "\xC3\x83\xC2\xA9"},
    };
    for (const auto& c : cases) {
        for (const auto& [codePage, bytes] : {std::pair<const TextCodePage*, std::string>{&kLatin1, c.latin1},
                                              std::pair<const TextCodePage*, std::string>{&kAscii, c.ascii}}) {
            Bytes value;
            ASSERT_TRUE(ParseItemValue(c.text, 2, *codePage, value)) << bytes;
            EXPECT_EQ(value, Of(bytes + '\0')) << bytes;
            // And what is written reads back as the text.
            EXPECT_EQ(FormatItemValue(ExifItem{0x010E, 2, value}, *codePage).text, c.text) << bytes;
        }
    }
}

TEST(ExifItemText, ShowsWindowsTextItemsAsTheirTextHoweverTheyAreFormed)
{
    const Bytes end{0, 0};
    const struct {
        uint32_t id;
        uint16_t type;
        Bytes value;
        std::wstring text;
    } cases[] = {
        {0x9C9B, 1, Utf16Le(kMixed) + end, kMixed},
        {0x9C9C, 1, Utf16Le(L"comment") + end, L"comment"},
        {0x9C9D, 1, Utf16Le(L"Ann; Bo") + end, L"Ann; Bo"},
        {0x9C9E, 1, Utf16Le(L"sea;sky") + end, L"sea;sky"},
        {0x9C9F, 1, Utf16Le(L"\U0001F600") + end, L"\U0001F600"},
        {0x9C9F, 7, Utf16Le(L"undefined too") + end, L"undefined too"},
        {0x9C9B, 1, end, L""},
        {0x9C9B, 1, {}, L""},
        // Malformed: no terminating unit, bytes after it, an odd length, unpaired surrogates.
        {0x9C9B, 1, Utf16Le(L"open"), L"open"},
        {0x9C9B, 1, Utf16Le(L"cut") + end + Utf16Le(L"junk"), L"cut"},
        {0x9C9B, 1, Utf16Le(L"A") + Bytes{'B'}, L"A\uFFFD"},
        {0x9C9B, 1, Utf16Le(L"A") + Bytes{0}, L"A"},
        {0x9C9B, 1, {'x'}, L"\uFFFD"},
        {0x9C9B, 1, Bytes{0x3D, 0xD8} + Utf16Le(L"x"), L"\uFFFDx"},
        {0x9C9B, 1, Utf16Le(L"x") + Bytes{0x3D, 0xD8}, L"x\uFFFD"},
        {0x9C9B, 1, Bytes{0x00, 0xDC, 0x3D, 0xD8} + end, L"\uFFFD\uFFFD"},
        // Other types, and the same bytes in items that are not Windows' texts, show as ever.
        {0x9C9B, 3, Little16({7}), L"7"},
        {0x9000, 1, Utf16Le(L"A") + end, L"41 00 00 00"},
        {0x9C9A, 1, Utf16Le(L"A"), L"41 00"},
        {0x9CA0, 1, Utf16Le(L"A"), L"41 00"},
        // The ratings are numbers.
        {0x4746, 3, Little16({5}), L"5"},
        {0x4749, 3, Little16({99}), L"99"},
    };
    for (const auto& c : cases) {
        const ItemValueText shown = FormatItemValue(ExifItem{c.id, c.type, c.value}, kLatin1);
        EXPECT_EQ(shown.text, c.text) << std::hex << c.id << " " << shown.text.size();
        EXPECT_EQ(shown.length, c.value.size()) << std::hex << c.id;
        EXPECT_EQ(shown.type, c.type) << std::hex << c.id;
        if (c.type == 1 || c.type == 7) {
            EXPECT_EQ(shown.count, c.value.size()) << std::hex << c.id;
        }
    }
}

TEST(ExifItemText, WritesWindowsTextItemsAsUtf16WithAZeroUnitAndReadsThemBack)
{
    for (const std::wstring& text : {kMixed, std::wstring(L"\U0001F600 a;b"), std::wstring(), std::wstring(L"x")}) {
        for (uint32_t id = 0x9C9B; id <= 0x9C9F; ++id) {
            Bytes value{0xEE};
            ASSERT_TRUE(ParseItemValue(text, id, 1, kLatin1, value)) << std::hex << id;
            EXPECT_EQ(value, (Utf16Le(text) + Bytes{0, 0})) << std::hex << id;
            EXPECT_EQ(FormatItemValue(ExifItem{id, 1, value}, kLatin1).text, text) << std::hex << id;
        }
    }
    // The text shown for a malformed value is written in the one form, and shows the same.
    Bytes value;
    ASSERT_TRUE(ParseItemValue(L"A\uFFFD", 0x9C9B, 1, kLatin1, value));
    EXPECT_EQ(value, (Utf16Le(L"A\uFFFD") + Bytes{0, 0}));
    // As any other type, or as an item that is not Windows' text, the text is read by the type.
    ASSERT_TRUE(ParseItemValue(L"41 00", 0x9C9B, 7, kLatin1, value));
    EXPECT_EQ(value, (Bytes{0x41, 0x00}));
    ASSERT_TRUE(ParseItemValue(L"41 00", 0x9000, 1, kLatin1, value));
    EXPECT_EQ(value, (Bytes{0x41, 0x00}));
    ASSERT_TRUE(ParseItemValue(L"41 00", 1, kLatin1, value));
    EXPECT_EQ(value, (Bytes{0x41, 0x00}));
    ASSERT_TRUE(ParseItemValue(L"4", 0x4746, 3, kLatin1, value));
    EXPECT_EQ(value, Little16({4}));
    EXPECT_TRUE(IsWindowsTextItem(0x9C9B) && IsWindowsTextItem(0x9C9F));
    EXPECT_FALSE(IsWindowsTextItem(0x9C9A) || IsWindowsTextItem(0x9CA0) || IsWindowsTextItem(0x4746));
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
        {L"Byte", 1},      {L"ASCII", 2},  {L"Short", 3},      {L"Long", 4},    {L"Rational", 5},
        {L"Undefined", 7}, {L"SLONG", 9},  {L"SRational", 10}, {L"Unicode", 1}, {L"ascii", 7},
        {L"SByte", 7},     {L"SShort", 7}, {L"unicode", 7},    {L"", 7},
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
