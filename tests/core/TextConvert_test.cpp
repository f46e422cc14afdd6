#include "core/TextConvert.h"

#include <gtest/gtest.h>

TEST(TextConvert, RoundTripsEveryPlaneOfUnicode)
{
    const std::wstring text = L"a\u00e9\u0416\u4e2d\U0001F600z";
    const std::string utf8 = Utf16ToUtf8(text);
    EXPECT_EQ(utf8, "a\xC3\xA9\xD0\x96\xE4\xB8\xAD\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(TextConvert, KeepsEmbeddedNulCharacters)
{
    const std::wstring text(L"a\0b", 3);
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(TextConvert, ReplacesUnpairedSurrogatesWithTheReplacementCharacter)
{
    const struct {
        std::wstring input;
        std::wstring expected;
    } cases[] = {
        {std::wstring(1, wchar_t(0xD800)), L"\uFFFD"},
        {std::wstring(1, wchar_t(0xDC00)) + L"x", L"\uFFFDx"},
        {L"x" + std::wstring(1, wchar_t(0xD83D)), L"x\uFFFD"},
        {std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}, L"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(c.input)), c.expected);
}

TEST(TextConvert, ReplacesIllFormedUtf8InsteadOfFailing)
{
    const struct {
        std::string input;
        std::wstring expected;
    } cases[] = {
        {"\xFF", L"\uFFFD"},                               // never a UTF-8 byte
        {"a\xC3", L"a\uFFFD"},                             // cut short at the end
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                     // overlong form of '/'
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {"\xE4\xB8z", L"\uFFFD\uFFFDz"},                   // a continuation byte missing
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.input), c.expected) << c.input;
}

TEST(TextConvert, TellsWellFormedUtf8FromOtherBytes)
{
    const struct {
        std::string input;
        bool utf8;
    } cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"\xC3\xBC \xE2\x98\x95 \xE6\x97\xA5\xE6\x9C\xAC", true},
        {"\xF0\x9F\x98\x80", true},     // beyond the first plane
        {"\xEF\xBF\xBD", true},         // U+FFFD itself
        {std::string("a\0b", 3), true}, // a NUL is a character
        {"Navy\xEDs", false},           // Windows-1252 text
        {"\xFF", false},                // never a UTF-8 byte
        {"a\xC3", false},               // cut short at the end
        {"\xC0\xAF", false},            // overlong form of '/'
        {"\xED\xA0\x80", false},        // an encoded surrogate
        {"\xF4\x90\x80\x80", false},    // beyond U+10FFFF
        {"\xE4\xB8z", false},           // a continuation byte missing
        {"\x80", false},                // a continuation byte alone
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUtf8(c.input), c.utf8) << c.input;
}
