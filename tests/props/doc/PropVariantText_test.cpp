// Stored document values and their texts, both ways, on values made in memory. Times are checked
// one hour east of UTC without daylight saving (TZ=XXX-1, set by the test's registration).
#include "platform/FileTimeText.h"
#include "props/doc/PropVariantText.h"
#include "props/doc/VariantTypeNames.h"
#include "tests/props/doc/PropValues.h"

#include "core/TextConvert.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

namespace {

using namespace docprops;

constexpr FMTID kOtherSet = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr PROPERTYKEY kPlain = {kOtherSet, 5};
constexpr PROPERTYKEY kEditTime = {kSummaryInformation, kEditTimeId};
// PID 10 of any set: the rule for VT_UI8 looks at the PID alone.
constexpr PROPERTYKEY kOtherPid10 = {kOtherSet, 10};

// 2021-06-15 10:20:30 UTC, which is 11:20:30 in the test's zone.
const unsigned long long kJune15 = TicksOfUnixTime(1623752430);

template <typename Value> std::function<PropVariant()> Of(VARTYPE type, Value set)
{
    return [type, set] { return MakeValue(type, set); };
}

struct ReadCase {
    const char* what;
    std::function<PropVariant()> value;
    PROPERTYKEY key;
    const wchar_t* text;
};

TEST(VariantToText, WritesEachTypeAsThePageShowsIt)
{
    static const CLSID someClass = {0x00020906, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    const ReadCase cases[] = {
        {"I2", Of(VT_I2, [](PROPVARIANT& v) { v.iVal = -5; }), kPlain, L"-5"},
        {"I4", Of(VT_I4, [](PROPVARIANT& v) { v.lVal = -123456; }), kPlain, L"-123456"},
        {"INT", Of(VT_INT, [](PROPVARIANT& v) { v.intVal = 7; }), kPlain, L"7"},
        {"R4 widened, six decimals", Of(VT_R4, [](PROPVARIANT& v) { v.fltVal = 1.5f; }), kPlain, L"1.500000"},
        {"R8, six decimals", Of(VT_R8, [](PROPVARIANT& v) { v.dblVal = -2.25; }), kPlain, L"-2.250000"},
        {"BSTR", Of(VT_BSTR, [](PROPVARIANT& v) { v.bstrVal = SysAllocString(L"Bee"); }), kPlain, L"Bee"},
        {"LPWSTR", [] { return WideValue(L"Wide \u00FC"); }, kPlain, L"Wide \u00FC"},
        {"ERROR", Of(VT_ERROR, [](PROPVARIANT& v) { v.scode = E_FAIL; }), kPlain, L"0x80004005"},
        {"BOOL true", Of(VT_BOOL, [](PROPVARIANT& v) { v.boolVal = VARIANT_TRUE; }), kPlain, L"True"},
        {"BOOL 1 is not VARIANT_TRUE", Of(VT_BOOL, [](PROPVARIANT& v) { v.boolVal = 1; }), kPlain, L"False"},
        {"I1", Of(VT_I1, [](PROPVARIANT& v) { v.cVal = static_cast<CHAR>(-3); }), kPlain, L"-3"},
        {"UI1", Of(VT_UI1, [](PROPVARIANT& v) { v.bVal = 200; }), kPlain, L"200"},
        {"UI2", Of(VT_UI2, [](PROPVARIANT& v) { v.uiVal = 65535; }), kPlain, L"65535"},
        {"UI4", Of(VT_UI4, [](PROPVARIANT& v) { v.ulVal = 4294967295UL; }), kPlain, L"4294967295"},
        {"UINT", Of(VT_UINT, [](PROPVARIANT& v) { v.uintVal = 9; }), kPlain, L"9"},
        {"I8", Of(VT_I8, [](PROPVARIANT& v) { v.hVal.QuadPart = -9000000000LL; }), kPlain, L"-9000000000"},
        {"UI8", Of(VT_UI8, [](PROPVARIANT& v) { v.uhVal.QuadPart = 18446744073709551615ULL; }), kPlain,
         L"18446744073709551615"},
        {"LPSTR", [] { return AnsiValue("Ansi text"); }, kPlain, L"Ansi text"},
        {"CLSID",
         Of(VT_CLSID,
            [](PROPVARIANT& v) {
                v.puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
                *v.puuid = someClass;
            }),
         kPlain, L"{00020906-0000-0000-C000-000000000046}"},
        {"FILETIME as local time", [] { return TimeValue(kJune15); }, kPlain, L"2021:06:15 11:20:30"},
        {"EMPTY", Of(VT_EMPTY, [](PROPVARIANT&) {}), kPlain, L""},
        {"CY", Of(VT_CY, [](PROPVARIANT& v) { v.cyVal.int64 = 5; }), kPlain, L""},
        {"DATE", Of(VT_DATE, [](PROPVARIANT& v) { v.date = 1.0; }), kPlain, L""},
    };
    for (const ReadCase& c : cases) {
        const auto text = VariantToText(c.value().Get(), c.key);
        ASSERT_TRUE(text.has_value()) << c.what;
        EXPECT_EQ(*text, c.text) << c.what;
    }
}

TEST(VariantToText, ShowsTheEditingTimeAsUnwrappedHoursMinutesAndSeconds)
{
    const auto ticks = [](VARTYPE type, unsigned long long value) {
        return MakeValue(type, [&](PROPVARIANT& v) {
            if (type == VT_UI8)
                v.uhVal.QuadPart = value;
            else
                v.filetime = FileTimeOf(value);
        });
    };
    const struct {
        unsigned long long ticks;
        const wchar_t* text;
    } cases[] = {{37230000000ULL, L"01:02:03"},
                 {360000000000ULL, L"10:00:00"},
                 {3600000000000ULL, L"100:00:00"},
                 {9999999ULL, L"00:00:00"}};
    for (const auto& c : cases) {
        EXPECT_EQ(VariantToText(ticks(VT_UI8, c.ticks).Get(), kEditTime), c.text) << c.ticks;
        EXPECT_EQ(VariantToText(ticks(VT_UI8, c.ticks).Get(), kOtherPid10), c.text) << c.ticks;
        // The summary set keeps the editing time as a FILETIME as well; it is no date there.
        EXPECT_EQ(VariantToText(ticks(VT_FILETIME, c.ticks).Get(), kEditTime), c.text) << c.ticks;
    }
    // Elsewhere a FILETIME at PID 10 is a point in time, and a VT_UI8 at another PID a number.
    EXPECT_EQ(VariantToText(ticks(VT_FILETIME, kJune15).Get(), kOtherPid10), L"2021:06:15 11:20:30");
    EXPECT_EQ(VariantToText(ticks(VT_UI8, 37230000000ULL).Get(), kPlain), L"37230000000");
}

TEST(VariantToText, HasNoTextForATimeAfterTheYear3000)
{
    const unsigned long long year3001 = TicksOfUnixTime(32535216000LL + 86400);
    EXPECT_FALSE(VariantToText(TimeValue(year3001).Get(), kPlain).has_value());
}

TEST(JoinStringElements, JoinsTheStringsOfAVectorAndNothingElse)
{
    const struct {
        const char* what;
        std::function<PropVariant()> value;
        const wchar_t* text;
    } cases[] = {
        {"wide strings",
         [] {
             return WideVector({L"a", L"b"});
         },
         L"a, b"},
        {"ANSI strings",
         [] {
             return AnsiVector({"a", "b", "c"});
         },
         L"a, b, c"},
        {"COM strings",
         Of(VT_VECTOR | VT_BSTR,
            [](PROPVARIANT& v) {
                v.cabstr.cElems = 2;
                v.cabstr.pElems = static_cast<BSTR*>(CoTaskMemAlloc(2 * sizeof(BSTR)));
                v.cabstr.pElems[0] = SysAllocString(L"x");
                v.cabstr.pElems[1] = SysAllocString(L"y");
            }),
         L"x, y"},
        // The separator goes only after text: an empty first element leaves no leading comma.
        {"an empty first element",
         [] {
             return WideVector({L"", L"b"});
         },
         L"b"},
        {"no elements", [] { return WideVector({}); }, L""},
        {"times (no low type bits)",
         Of(VT_VECTOR | VT_FILETIME,
            [](PROPVARIANT& v) {
                v.cafiletime.cElems = 1;
                v.cafiletime.pElems = static_cast<FILETIME*>(CoTaskMemAlloc(sizeof(FILETIME)));
                v.cafiletime.pElems[0] = FileTimeOf(kJune15);
            }),
         L""},
        {"numbers",
         Of(VT_VECTOR | VT_I4,
            [](PROPVARIANT& v) {
                v.cal.cElems = 2;
                v.cal.pElems = static_cast<LONG*>(CoTaskMemAlloc(2 * sizeof(LONG)));
                v.cal.pElems[0] = 5;
                v.cal.pElems[1] = 6;
            }),
         L""},
    };
    for (const auto& c : cases) {
        const PropVariant value = c.value();
        EXPECT_EQ(VariantToText(value.Get(), kPlain), c.text) << c.what;
    }
}

// ---- texts to values -------------------------------------------------------------------------

struct WriteCase {
    const wchar_t* name;
    const wchar_t* type;
    const wchar_t* text;
    TextConversion outcome;
    VARTYPE storedType;
    std::function<bool(const PROPVARIANT&)> holds;
};

std::function<bool(const PROPVARIANT&)> I4(LONG expected)
{
    return [=](const PROPVARIANT& v) { return v.lVal == expected; };
}

std::function<bool(const PROPVARIANT&)> UI8(unsigned long long expected)
{
    return [=](const PROPVARIANT& v) { return v.uhVal.QuadPart == expected; };
}

std::function<bool(const PROPVARIANT&)> Wide(const std::wstring& expected)
{
    return [=](const PROPVARIANT& v) { return v.pwszVal && expected == v.pwszVal; };
}

const auto kNothing = [](const PROPVARIANT&) { return true; };

TEST(TextToVariant, StoresWhatTheTextSaysAndRefusesTextThatIsNoValueOfItsType)
{
    constexpr auto ok = TextConversion::Converted;
    constexpr auto bad = TextConversion::NotAValue;
    constexpr auto none = TextConversion::NoTextForm;
    const WriteCase cases[] = {
        {L"Pages", L"VT_I4", L"12", ok, VT_I4, I4(12)},
        {L"Pages", L"VT_I4", L" -2147483648 ", ok, VT_I4, I4(INT_MIN)},
        {L"Pages", L"VT_I4", L"2147483648", bad, VT_EMPTY, kNothing},
        {L"Pages", L"VT_I4", L"12abc", bad, VT_EMPTY, kNothing},
        {L"Pages", L"VT_I4", L"", bad, VT_EMPTY, kNothing},
        {L"Size", L"VT_UI4", L"4294967295", ok, VT_UI4, [](const PROPVARIANT& v) { return v.ulVal == 4294967295UL; }},
        {L"Size", L"VT_UI4", L"4294967296", bad, VT_EMPTY, kNothing},
        {L"Size", L"VT_UI4", L"-1", bad, VT_EMPTY, kNothing},
        {L"Size", L"VT_UI8", L"18446744073709551615", ok, VT_UI8, UI8(18446744073709551615ULL)},
        {L"Size", L"VT_UI8", L"18446744073709551616", bad, VT_EMPTY, kNothing},
        // Only "EditTime" takes hours, minutes and seconds; an empty part between colons drops out.
        {L"Size", L"VT_UI8", L"1:2:3", bad, VT_EMPTY, kNothing},
        {L"EditTime", L"VT_UI8", L"1:2:3", ok, VT_UI8, UI8(37230000000ULL)},
        {L"EditTime", L"VT_UI8", L"1::2:3", ok, VT_UI8, UI8(37230000000ULL)},
        {L"EditTime", L"VT_UI8", L"100:00:00", ok, VT_UI8, UI8(3600000000000ULL)},
        {L"EditTime", L"VT_UI8", L"1234", ok, VT_UI8, UI8(1234)},
        {L"EditTime", L"VT_UI8", L"1:30", bad, VT_EMPTY, kNothing},
        {L"EditTime", L"VT_UI8", L"a:b:c", bad, VT_EMPTY, kNothing},
        {L"edittime", L"VT_UI8", L"1:2:3", bad, VT_EMPTY, kNothing},
        {L"Ratio", L"VT_R8", L"1.5", ok, VT_R8, [](const PROPVARIANT& v) { return v.dblVal == 1.5; }},
        {L"Ratio", L"VT_R8", L"-2e3", ok, VT_R8, [](const PROPVARIANT& v) { return v.dblVal == -2000.0; }},
        {L"Ratio", L"VT_R8", L"-2.250000", ok, VT_R8, [](const PROPVARIANT& v) { return v.dblVal == -2.25; }},
        {L"Ratio", L"VT_R8", L"1e999", bad, VT_EMPTY, kNothing},
        {L"Ratio", L"VT_R8", L"inf", bad, VT_EMPTY, kNothing},
        {L"Ratio", L"VT_R8", L"1,5", bad, VT_EMPTY, kNothing},
        {L"Flag", L"VT_BOOL", L"True", ok, VT_BOOL, [](const PROPVARIANT& v) { return v.boolVal == VARIANT_TRUE; }},
        // Only the exact word is true.
        {L"Flag", L"VT_BOOL", L"true", ok, VT_BOOL, [](const PROPVARIANT& v) { return v.boolVal == VARIANT_FALSE; }},
        // Strings are stored wide whatever their type name says.
        {L"Title", L"VT_LPSTR", L"Plan \u00FC", ok, VT_LPWSTR, Wide(L"Plan \u00FC")},
        {L"Title", L"VT_LPWSTR", L"", ok, VT_LPWSTR, Wide(L"")},
        {L"Printed", L"VT_FILETIME", L"2021:06:15 11:20:30", ok, VT_FILETIME,
         [](const PROPVARIANT& v) {
             return ((static_cast<unsigned long long>(v.filetime.dwHighDateTime) << 32) | v.filetime.dwLowDateTime) ==
                    kJune15;
         }},
        {L"Printed", L"VT_FILETIME", L"tomorrow", bad, VT_EMPTY, kNothing},
        {L"Printed", L"VT_FILETIME", L"2021:13:01 00:00:00", bad, VT_EMPTY, kNothing},
        {L"Printed", L"VT_FILETIME", L"1969:12:31 23:00:00", bad, VT_EMPTY, kNothing},
        {L"Printed", L"VT_FILETIME", L"", bad, VT_EMPTY, kNothing},
        // No text form: nothing is stored, so the stored value stays.
        {L"Thumbnail", L"VT_CF", L"", none, VT_EMPTY, kNothing},
        {L"Parts", L"VT_VECTOR|VT_LPSTR", L"a, b", none, VT_EMPTY, kNothing},
        {L"Pairs", L"VT_VECTOR|VT_VARIANT", L"", none, VT_EMPTY, kNothing},
        {L"Odd", L"VT_STRING", L"x", none, VT_EMPTY, kNothing},
        {L"Odd", L"vt_lpstr", L"x", none, VT_EMPTY, kNothing},
    };
    for (const WriteCase& c : cases) {
        const std::string what = Utf16ToUtf8(std::wstring(c.name) + L" " + c.type + L" \"" + c.text + L"\"");
        PropVariant value;
        EXPECT_EQ(TextToVariant(c.name, TypeFromName(c.type), c.text, value), c.outcome) << what;
        if (c.outcome != ok) continue;
        EXPECT_EQ(value.Get().vt, c.storedType) << what;
        EXPECT_TRUE(c.holds(value.Get())) << what;
    }
}

TEST(TextToVariant, NamesWhatARefusedTextShouldHaveBeen)
{
    EXPECT_EQ(ExpectedTextOf(L"Pages", VT_I4), L"number");
    EXPECT_EQ(ExpectedTextOf(L"Ratio", VT_R8), L"number");
    EXPECT_EQ(ExpectedTextOf(L"EditTime", VT_UI8), L"duration");
    EXPECT_EQ(ExpectedTextOf(L"Printed", VT_FILETIME), L"date-time text");
}

TEST(FileTimeValues, KeepTheirTimeToTheSecondWhenReadAndWrittenBackUnchanged)
{
    // Fractions of a second are not shown, so they are lost; nothing else is.
    // The ends of the range: 1970-01-01 00:00:00 UTC, and 3000-12-31 23:59:59 in the test's zone.
    const unsigned long long times[] = {kJune15, kJune15 + 7500000, TicksOfUnixTime(0),
                                        TicksOfUnixTime(32535215999LL - 3600)};
    for (const unsigned long long ticks : times) {
        const auto text = VariantToText(TimeValue(ticks).Get(), kPlain);
        ASSERT_TRUE(text.has_value()) << ticks;
        PropVariant written;
        ASSERT_EQ(TextToVariant(L"Printed", VT_FILETIME, *text, written), TextConversion::Converted) << ticks;
        const FILETIME& back = written.Get().filetime;
        const unsigned long long backTicks =
            (static_cast<unsigned long long>(back.dwHighDateTime) << 32) | back.dwLowDateTime;
        EXPECT_EQ(backTicks, ticks - ticks % 10000000ULL) << Utf16ToUtf8(*text);
    }
}

TEST(VariantToText, GivesNoTextForAZeroFileTimeWhichMeansNever)
{
    // "Last printed" of a document never printed: no made-up 1970.
    EXPECT_FALSE(VariantToText(TimeValue(0).Get(), kPlain).has_value());
}

TEST(TextToVariant, RefusesATimeThatWouldBeCarriedIntoAnotherDate)
{
    for (const wchar_t* text : {L"2021:02:31 10:00:00", L"2021:02:29 10:00:00", L"2020:13:01 00:00:00",
                                L"2020:01:01 25:00:00", L"1969:12:31 00:00:00"}) {
        PropVariant written;
        EXPECT_EQ(TextToVariant(L"Printed", VT_FILETIME, text, written), TextConversion::NotAValue)
            << Utf16ToUtf8(text);
    }
    PropVariant leapDay;
    EXPECT_EQ(TextToVariant(L"Printed", VT_FILETIME, L"2020:02:29 10:00:00", leapDay), TextConversion::Converted);
}

TEST(VariantTypeNames, MapEachNameToItsTypeAndBackExactly)
{
    const struct {
        const wchar_t* name;
        VARTYPE type;
    } names[] = {{L"VT_I4", 3},
                 {L"VT_R8", 5},
                 {L"VT_BOOL", 11},
                 {L"VT_UI4", 19},
                 {L"VT_UI8", 21},
                 {L"VT_LPSTR", 30},
                 {L"VT_LPWSTR", 31},
                 {L"VT_FILETIME", 64},
                 {L"VT_CF", 71},
                 {L"VT_VECTOR|VT_VARIANT", 0x100C},
                 {L"VT_VECTOR|VT_LPSTR", 0x101E}};
    for (const auto& n : names) {
        EXPECT_EQ(TypeFromName(n.name), n.type) << Utf16ToUtf8(n.name);
        EXPECT_EQ(TypeNameOf(n.type), n.name) << n.type;
    }
    for (const wchar_t* other : {L"vt_i4", L"VT_I4 ", L"", L"VT_I2", L"VT_VECTOR | VT_LPSTR"})
        EXPECT_EQ(TypeFromName(other), VT_EMPTY) << Utf16ToUtf8(other);
    const VARTYPE unnamed[] = {VT_EMPTY, VT_I2, VT_BSTR, VT_VECTOR | VT_LPWSTR};
    for (const VARTYPE other : unnamed)
        EXPECT_EQ(TypeNameOf(other), L"") << other;
}

} // namespace
