#include "core/JsonWrapper.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <regex>
#include <string>

namespace {

const wchar_t kHighSurrogate = wchar_t(0xD800);
const wchar_t kLowSurrogate = wchar_t(0xDC00);

JsonWrapper Parsed(const std::wstring& text)
{
    JsonWrapper doc;
    EXPECT_TRUE(doc.Parse(text)) << text;
    return doc;
}

// The exponent of "%e" may have two or three digits depending on the C runtime; compare with two.
std::wstring TwoDigitExponent(const std::wstring& text)
{
    return std::regex_replace(text, std::wregex(L"e([+-])0(\\d\\d)$"), L"e$1$2");
}

std::wstring PrintedNumber(double value)
{
    JsonWrapper doc;
    EXPECT_TRUE(doc.MakeObject());
    EXPECT_TRUE(doc.AddNumber(L"n", value));
    return TwoDigitExponent(doc.GetMember(L"n").Print());
}

bool HasUnpairedSurrogate(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned unit = static_cast<unsigned>(text[i]) & 0xFFFF;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const unsigned next = i + 1 < text.size() ? static_cast<unsigned>(text[i + 1]) & 0xFFFF : 0;
            if (next < 0xDC00 || next > 0xDFFF) return true;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

} // namespace

// ---- Printing ----

TEST(JsonWrapper, PrintsAnEmptyDocumentAsEmptyText)
{
    JsonWrapper doc;
    EXPECT_TRUE(doc.IsEmpty());
    EXPECT_EQ(doc.Print(), L"");
}

TEST(JsonWrapper, PrintsAnAnswerBuiltMemberByMemberInOrder)
{
    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    EXPECT_TRUE(list.AppendString(L"a"));
    EXPECT_TRUE(list.AppendString(L"b"));

    JsonWrapper answer;
    ASSERT_TRUE(answer.MakeObject());
    EXPECT_TRUE(answer.AddBool(L"result", true));
    EXPECT_TRUE(answer.AddDocument(L"list", list));
    EXPECT_TRUE(answer.AddString(L"error", L""));
    EXPECT_TRUE(answer.AddNumber(L"count", 2));
    EXPECT_TRUE(answer.AddBool(L"more", false));
    EXPECT_EQ(answer.Print(), L"{\"result\":true,\"list\":[\"a\", \"b\"],\"error\":\"\",\"count\":2,\"more\":false}");
}

TEST(JsonWrapper, PrintsNumbersByTheFirstMatchingRule)
{
    const struct {
        double value;
        const wchar_t* printed;
    } cases[] = {
        // whole numbers in the 32-bit range: "%d"
        {0, L"0"},
        {3, L"3"},
        {-3, L"-3"},
        {-0.0, L"0"},
        {1e9, L"1000000000"},
        {1.5e9, L"1500000000"},
        {2147483647, L"2147483647"},
        {-2147483648.0, L"-2147483648"},
        {1e-17, L"0"},                     // within DBL_EPSILON of its integer copy
        {1.0000000000000002, L"1"},        // 1 + DBL_EPSILON
        {1.0000000000000004, L"1.000000"}, // 1 + 2 DBL_EPSILON: no longer whole
        // whole numbers outside it but below 1e60: "%.0f"
        {2147483648.0, L"2147483648"},
        {-2147483649.0, L"-2147483649"},
        {1e10, L"10000000000"},
        {1e15, L"1000000000000000"},
        {-9007199254740992.0, L"-9007199254740992"},
        // very small or large: "%e"
        {1e60, L"1.000000e+60"},
        {-1e60, L"-1.000000e+60"},
        {1e300, L"1.000000e+300"},
        {1e-7, L"1.000000e-07"},
        {-1e-7, L"-1.000000e-07"},
        {1500000000.25, L"1.500000e+09"},
        {1000000000.5, L"1.000000e+09"},
        {2147483647.5, L"2.147484e+09"},
        // everything else: "%f"
        {0.5, L"0.500000"},
        {3.7, L"3.700000"},
        {-0.25, L"-0.250000"},
        {1e-6, L"0.000001"},
        {123456.789, L"123456.789000"},
        {999999999.5, L"999999999.500000"},
        {0.1234567, L"0.123457"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrintedNumber(c.value), c.printed) << c.value;
}

TEST(JsonWrapper, PrintsNumbersWithoutAJsonSpellingAsNull)
{
    for (double value : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(PrintedNumber(value), L"null") << value;
}

TEST(JsonWrapper, PrintsStringsWithTheirEscapes)
{
    const struct {
        std::wstring value;
        std::wstring printed;
    } cases[] = {
        {L"plain text", L"\"plain text\""},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"C:\\dir\\", L"\"C:\\\\dir\\\\\""},
        {L"a/b", L"\"a/b\""},
        {L"\b\f\n\r\t", L"\"\\b\\f\\n\\r\\t\""},
        {L"\x01", L"\"\\u0001\""},
        {L"\x0b\x1f", L"\"\\u000b\\u001f\""},
        {L"\x7f", L"\"\x7f\""},
        {L"\u00e9\u0416\u4e2d\U0001F600", L"\"\u00e9\u0416\u4e2d\U0001F600\""},
    };
    for (const auto& c : cases) {
        JsonWrapper doc;
        ASSERT_TRUE(doc.MakeArray());
        ASSERT_TRUE(doc.AppendString(c.value));
        EXPECT_EQ(doc.Print(), L"[" + c.printed + L"]") << c.value;
    }
}

TEST(JsonWrapper, EscapesMemberNamesLikeStrings)
{
    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddNumber(L"a\"b\\c\td\x02", 1));
    EXPECT_EQ(doc.Print(), L"{\"a\\\"b\\\\c\\td\\u0002\":1}");
}

TEST(JsonWrapper, RoundTripsEveryControlCharacterThroughPrintAndParse)
{
    std::wstring controls;
    for (wchar_t c = 1; c < 0x20; ++c)
        controls += c;
    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddString(controls, controls));

    const std::wstring printed = doc.Print();
    for (wchar_t c : printed)
        EXPECT_GE(c, 0x20) << "raw control character " << int(c) << " in " << printed;

    JsonWrapper back = Parsed(printed);
    std::wstring text;
    EXPECT_TRUE(back.GetMember(controls).GetText(text));
    EXPECT_EQ(text, controls);
    EXPECT_EQ(back.GetItem(0).GetName(), controls);
}

// ---- Parsing ----

TEST(JsonWrapper, ParsesTextAndPrintsItInTheCompactForm)
{
    const struct {
        std::wstring text;
        std::wstring printed;
    } cases[] = {
        {L"{ \"result\" : true , \"list\" : [ \"a\" , \"b\" ] }", L"{\"result\":true,\"list\":[\"a\", \"b\"]}"},
        {L"{}", L"{}"},
        {L"[]", L"[]"},
        {L"[ [ ] , { } ]", L"[[], {}]"},
        {L"[1,[2,3],{\"a\":[null,false,true]}]", L"[1, [2, 3], {\"a\":[null, false, true]}]"},
        {L"{\"a\":{\"b\":{\"c\":\"d\"}}}", L"{\"a\":{\"b\":{\"c\":\"d\"}}}"},
        {L"\"text\"", L"\"text\""},
        {L"{\"a\\u0042\\t\\q\":1}", L"{\"aB\\tq\":1}"}, // names are decoded like strings
        {L"null", L"null"},
        // every byte up to 0x20 is white space, not just the four of the grammar
        {L"\x01\x1f [\x0b"
         L"1\x0c,\r\n\t2 ]",
         L"[1, 2]"},
        // numbers by their digits, printed by the number rules
        {L"0.5", L"0.500000"},
        {L"1e10", L"10000000000"},
        {L"1E1", L"10"},
        {L"-0", L"0"},
        {L"1.5e2", L"150"},
        {L"25e-1", L"2.500000"},
        {L"-12.5E+1", L"-125"},
        {L"123456789012", L"123456789012"},
        {L"1e-7", L"1.000000e-07"},
        {L"1e400", L"null"},
    };
    for (const auto& c : cases) {
        JsonWrapper doc = Parsed(c.text);
        EXPECT_EQ(TwoDigitExponent(doc.Print()), c.printed) << c.text;
    }
}

TEST(JsonWrapper, DecodesEscapesLeniently)
{
    const struct {
        std::wstring text;
        std::wstring value;
    } cases[] = {
        {L"\"\\b\\f\\n\\r\\t\"", L"\b\f\n\r\t"},
        {L"\"\\\"\\\\\\/\"", L"\"\\/"},
        {L"\"\\q\\'\\a\\x\\0\"", L"q'ax0"}, // an unknown escape stands for the character itself
        {L"\"\\\u00e9\"", L"\u00e9"},
        {L"\"\\u0041\\u00e9\\u00C9\\u4E2d\"", L"A\u00e9\u00c9\u4e2d"},
        {L"\"\\ud83d\\ude00\"", L"\U0001F600"},
        {L"\"\\uDBFF\\uDFFF!\"", L"\U0010FFFF!"},
        {L"\"raw\ttab and \u00e9\"", L"raw\ttab and \u00e9"},
    };
    for (const auto& c : cases) {
        JsonWrapper doc = Parsed(c.text);
        std::wstring value = L"unchanged";
        EXPECT_TRUE(doc.GetText(value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(JsonWrapper, NeverYieldsUnpairedSurrogatesFromEscapes)
{
    const std::wstring texts[] = {
        L"\"\\ud800\"",        L"\"\\udc00\"",  L"\"\\ud800\\u0041\"", L"\"\\ud800\\ud800\\udc00\"",
        L"\"\\udc00\\ud800\"", L"\"\\ud800x\"",
    };
    for (const auto& text : texts) {
        JsonWrapper doc;
        if (!doc.Parse(text)) continue; // refusing them is fine too
        std::wstring value;
        EXPECT_TRUE(doc.GetText(value)) << text;
        EXPECT_FALSE(HasUnpairedSurrogate(value)) << text;
        EXPECT_FALSE(HasUnpairedSurrogate(doc.Print())) << text;
    }
}

TEST(JsonWrapper, IgnoresTextAfterTheFirstCompleteValue)
{
    const struct {
        std::wstring text;
        std::wstring printed;
    } cases[] = {
        {L"{}xyz", L"{}"},
        {L"{} {", L"{}"},
        {L"[1]]", L"[1]"},
        {L"1 2", L"1"},
        {L"\"a\"\"b\"", L"\"a\""},
        {L"true false", L"true"},
        {L"null,", L"null"},
        {L"[\"a\"] garbage \x01", L"[\"a\"]"},
        {std::wstring(L"{}\0[", 4), L"{}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parsed(c.text).Print(), c.printed) << c.text;
}

TEST(JsonWrapper, RefusesMalformedTextAndDropsThePreviousValue)
{
    const std::wstring texts[] = {
        L"",
        L"   ",
        L"{",
        L"[",
        L"]",
        L"}",
        L",",
        L"[1,]",
        L"[1 2]",
        L"[1,,2]",
        L"[1}",
        L"[\"a\"",
        L"{\"a\"}",
        L"{\"a\":}",
        L"{\"a\":1,}",
        L"{\"a\" 1}",
        L"{\"a\":1 \"b\":2}",
        L"{\"a\":[1}",
        L"{a:1}",
        L"{'a':1}",
        L"{1:2}",
        L"'a'",
        L"\"abc",
        L"\"ab\\",
        L"\"\\u12\"",
        L"\"\\u12G4\"",
        L"\"\\ud800\\u12\"",
        L"tru",
        L"nul",
        L"fals",
        L"True",
        L"NULL",
        L"-",
        L"+1",
        L".5",
        L"NaN",
        L"Infinity",
        L"-Infinity",
        L"[\x7f]",   // DEL is not white space
        L"\u00a0{}", // nor is a no-break space
        L"\uFEFF{}", // nor a byte order mark
        L"\u3000[]", // nor an ideographic space
        std::wstring(1, kHighSurrogate) + L"{}",
    };
    for (const auto& text : texts) {
        JsonWrapper doc;
        ASSERT_TRUE(doc.MakeObject());
        ASSERT_TRUE(doc.AddString(L"old", L"value"));
        EXPECT_FALSE(doc.Parse(text)) << text;
        EXPECT_TRUE(doc.IsEmpty()) << text;
        EXPECT_EQ(doc.Print(), L"") << text;
        EXPECT_EQ(doc.GetCount(), 0) << text;
    }
}

TEST(JsonWrapper, ReplacesThePreviousValueOnASuccessfulParse)
{
    JsonWrapper doc = Parsed(L"{\"a\":1}");
    ASSERT_TRUE(doc.Parse(L"[true]"));
    EXPECT_EQ(doc.Print(), L"[true]");
}

// ---- Member lookup, enumeration and counting ----

TEST(JsonWrapper, FindsMembersIgnoringTheCaseOfAsciiLettersOnly)
{
    const JsonWrapper doc = Parsed(L"{\"cmd\":\"run\",\"\u00c9mile\":\"e\",\"a-b_1\":\"ab\",\"x[\":\"bracket\","
                                   L"\"at@\":\"at\",\"u_\":\"underscore\",\"\":\"nameless\"}");
    const struct {
        std::wstring name;
        const wchar_t* value; // null: no member matches
    } cases[] = {
        {L"cmd", L"run"},
        {L"CMD", L"run"},
        {L"cMd", L"run"},
        {L"cm", nullptr},
        {L"cmdx", nullptr},
        {L"cmd ", nullptr},
        {L"\u00c9MILE", L"e"},
        {L"\u00e9mile", nullptr}, // non-ASCII letters keep their case
        {L"A-B_1", L"ab"},
        {L"a-b_1", L"ab"},
        // bytes that differ by 0x20 but are not letters
        {L"x{", nullptr},
        {L"X[", L"bracket"},
        {L"at`", nullptr},
        {L"u\x7f", nullptr},
        {L"", L"nameless"},
    };
    for (const auto& c : cases) {
        const JsonWrapper member = doc.GetMember(c.name);
        if (!c.value) {
            EXPECT_TRUE(member.IsEmpty()) << c.name;
            continue;
        }
        std::wstring value;
        EXPECT_TRUE(member.GetText(value)) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
}

TEST(JsonWrapper, FindsNoMemberOutsideAnObject)
{
    for (const wchar_t* text : {L"[{\"a\":1}]", L"\"a\"", L"1", L"null"})
        EXPECT_TRUE(Parsed(text).GetMember(L"a").IsEmpty()) << text;
    EXPECT_TRUE(JsonWrapper().GetMember(L"a").IsEmpty());
}

TEST(JsonWrapper, KeepsRepeatedMembersAndFindsTheFirst)
{
    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    EXPECT_TRUE(doc.AddNumber(L"a", 1));
    EXPECT_TRUE(doc.AddString(L"A", L"second"));
    EXPECT_TRUE(doc.AddBool(L"a", true));
    EXPECT_EQ(doc.Print(), L"{\"a\":1,\"A\":\"second\",\"a\":true}");
    EXPECT_EQ(doc.GetCount(), 3);
    EXPECT_EQ(doc.GetMember(L"a").Print(), L"1");
    EXPECT_EQ(doc.GetMember(L"A").Print(), L"1");

    const JsonWrapper parsed = Parsed(L"{\"k\":\"first\",\"k\":\"second\"}");
    EXPECT_EQ(parsed.GetCount(), 2);
    EXPECT_EQ(parsed.GetMember(L"k").Print(), L"\"first\"");
    EXPECT_EQ(parsed.GetItem(1).Print(), L"\"second\"");
}

TEST(JsonWrapper, EnumeratesObjectMembersWithTheirNames)
{
    const JsonWrapper doc = Parsed(L"{\"b\":1,\"a\":[2],\"c\":\"x\"}");
    const struct {
        int index;
        const wchar_t* name; // null: no item
        const wchar_t* printed;
    } cases[] = {
        {0, L"b", L"1"},       {1, L"a", L"[2]"},           {2, L"c", L"\"x\""},
        {3, nullptr, nullptr}, {INT_MAX, nullptr, nullptr}, {-1, L"b", L"1"},
        {INT_MIN, L"b", L"1"}, // below 0: the first child
    };
    for (const auto& c : cases) {
        const JsonWrapper item = doc.GetItem(c.index);
        if (!c.name) {
            EXPECT_TRUE(item.IsEmpty()) << c.index;
            EXPECT_EQ(item.GetName(), L"") << c.index;
            continue;
        }
        EXPECT_EQ(item.GetName(), c.name) << c.index;
        EXPECT_EQ(item.Print(), c.printed) << c.index;
    }
}

TEST(JsonWrapper, EnumeratesArrayElementsWithoutNames)
{
    const JsonWrapper doc = Parsed(L"[\"a\", {\"k\":1}, 3]");
    EXPECT_EQ(doc.GetItem(0).Print(), L"\"a\"");
    EXPECT_EQ(doc.GetItem(1).Print(), L"{\"k\":1}");
    EXPECT_EQ(doc.GetItem(-5).Print(), L"\"a\"");
    EXPECT_TRUE(doc.GetItem(3).IsEmpty());
    for (int i = 0; i < doc.GetCount(); ++i)
        EXPECT_EQ(doc.GetItem(i).GetName(), L"") << i;
    EXPECT_EQ(doc.GetName(), L"");
    EXPECT_EQ(JsonWrapper().GetName(), L"");
}

TEST(JsonWrapper, FindsNoItemsInsideScalarsOrAnEmptyDocument)
{
    for (const wchar_t* text : {L"\"abc\"", L"5", L"true", L"null"}) {
        EXPECT_TRUE(Parsed(text).GetItem(0).IsEmpty()) << text;
        EXPECT_TRUE(Parsed(text).GetItem(-1).IsEmpty()) << text;
    }
    EXPECT_TRUE(JsonWrapper().GetItem(0).IsEmpty());
}

TEST(JsonWrapper, CountsTheChildrenOfArraysAndObjectsOnly)
{
    const struct {
        const wchar_t* text; // null: an empty document
        int count;
    } cases[] = {
        {nullptr, 0},    {L"{}", 0}, {L"[]", 0},   {L"[1, 2, 3]", 3}, {L"[[1, 2], [3]]", 2}, {L"{\"a\":1,\"a\":2}", 2},
        {L"\"abc\"", 0}, {L"5", 0},  {L"null", 0}, {L"true", 0},
    };
    for (const auto& c : cases) {
        JsonWrapper doc;
        if (c.text) {
            ASSERT_TRUE(doc.Parse(c.text));
        }
        EXPECT_EQ(doc.GetCount(), c.count) << (c.text ? c.text : L"(empty)");
    }
}

// ---- Getters ----

TEST(JsonWrapper, GettersWriteTheirOutValueOnlyOnSuccess)
{
    const struct {
        const wchar_t* text; // null: an empty document
        bool intOk;
        int intValue;
        bool boolOk;
        bool boolValue;
        bool textOk;
        const wchar_t* textValue;
    } cases[] = {
        {nullptr, false, 0, false, false, false, nullptr},
        {L"3.7", true, 3, false, false, true, L"3"},
        {L"-3.7", true, -3, false, false, true, L"-3"}, // truncated toward zero
        {L"0", true, 0, false, false, true, L"0"},
        {L"1", true, 1, false, false, true, L"1"}, // a number is no boolean
        {L"1e2", true, 100, false, false, true, L"100"},
        {L"2147483647", true, INT_MAX, false, false, true, L"2147483647"},
        {L"-2147483648", true, INT_MIN, false, false, true, L"-2147483648"},
        {L"\"12\"", false, 0, false, false, true, L"12"},
        {L"\"true\"", false, 0, false, false, true, L"true"},
        {L"\"\"", false, 0, false, false, true, L""},
        {L"true", false, 0, true, true, true, L"true"},
        {L"false", false, 0, true, false, true, L"false"},
        {L"null", false, 0, false, false, false, nullptr},
        {L"[1]", false, 0, false, false, false, nullptr},
        {L"{\"a\":true}", false, 0, false, false, false, nullptr},
    };
    for (const auto& c : cases) {
        const std::wstring label = c.text ? c.text : L"(empty)";
        JsonWrapper doc;
        if (c.text) {
            ASSERT_TRUE(doc.Parse(c.text)) << label;
        }

        int number = 12345;
        EXPECT_EQ(doc.GetInt(number), c.intOk) << label;
        EXPECT_EQ(number, c.intOk ? c.intValue : 12345) << label;

        for (bool initial : {false, true}) {
            bool flag = initial;
            EXPECT_EQ(doc.GetBool(flag), c.boolOk) << label;
            EXPECT_EQ(flag, c.boolOk ? c.boolValue : initial) << label;
        }

        std::wstring text = L"default";
        EXPECT_EQ(doc.GetText(text), c.textOk) << label;
        EXPECT_EQ(text, c.textOk ? c.textValue : L"default") << label;
    }
}

TEST(JsonWrapper, ReadsAddedNumbersAsTheirIntegerCopy)
{
    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddNumber(L"n", 3.7));
    std::wstring text;
    EXPECT_TRUE(doc.GetMember(L"N").GetText(text));
    EXPECT_EQ(text, L"3");
    int number = 0;
    EXPECT_TRUE(doc.GetMember(L"n").GetInt(number));
    EXPECT_EQ(number, 3);
    EXPECT_EQ(doc.Print(), L"{\"n\":3.700000}");
}

// ---- Building ----

TEST(JsonWrapper, RefusesToAddToTheWrongKindOfRootAndChangesNothing)
{
    JsonWrapper child;
    ASSERT_TRUE(child.MakeObject());
    for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L"[]", L"[\"x\"]", L"\"s\"", L"1", L"null"}) {
        const std::wstring label = text ? text : L"(empty)";
        JsonWrapper doc;
        if (text) {
            ASSERT_TRUE(doc.Parse(text));
        }
        const std::wstring before = doc.Print();
        EXPECT_FALSE(doc.AddString(L"k", L"v")) << label;
        EXPECT_FALSE(doc.AddNumber(L"k", 1)) << label;
        EXPECT_FALSE(doc.AddBool(L"k", true)) << label;
        EXPECT_FALSE(doc.AddDocument(L"k", child)) << label;
        EXPECT_EQ(doc.Print(), before) << label;
    }
    for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L"{}", L"{\"a\":[]}", L"\"s\"", L"1"}) {
        const std::wstring label = text ? text : L"(empty)";
        JsonWrapper doc;
        if (text) {
            ASSERT_TRUE(doc.Parse(text));
        }
        const std::wstring before = doc.Print();
        EXPECT_FALSE(doc.AppendString(L"v")) << label;
        EXPECT_EQ(doc.Print(), before) << label;
    }
}

TEST(JsonWrapper, RefusesToAddAnEmptyDocument)
{
    JsonWrapper doc = Parsed(L"{\"a\":1}");
    EXPECT_FALSE(doc.AddDocument(L"b", JsonWrapper()));
    EXPECT_EQ(doc.Print(), L"{\"a\":1}");
}

TEST(JsonWrapper, MakeObjectAndMakeArrayReleaseThePreviousValue)
{
    JsonWrapper doc = Parsed(L"{\"a\":[1, 2]}");
    ASSERT_TRUE(doc.MakeArray());
    EXPECT_EQ(doc.Print(), L"[]");
    ASSERT_TRUE(doc.AppendString(L"x"));
    ASSERT_TRUE(doc.MakeObject());
    EXPECT_EQ(doc.Print(), L"{}");
    EXPECT_EQ(doc.GetCount(), 0);
}

TEST(JsonWrapper, AddsADocumentUnderTheNewNameOnly)
{
    const JsonWrapper source = Parsed(L"{\"x\":[1, \"two\"]}");
    const JsonWrapper item = source.GetMember(L"x");
    ASSERT_EQ(item.GetName(), L"x");

    JsonWrapper target;
    ASSERT_TRUE(target.MakeObject());
    ASSERT_TRUE(target.AddDocument(L"y", item));
    ASSERT_TRUE(target.AddDocument(L"s", Parsed(L"\"scalar\"")));
    EXPECT_EQ(target.Print(), L"{\"y\":[1, \"two\"],\"s\":\"scalar\"}");
    EXPECT_EQ(target.GetItem(0).GetName(), L"y");
    EXPECT_TRUE(target.GetMember(L"x").IsEmpty());
    EXPECT_EQ(item.GetName(), L"x");
}

TEST(JsonWrapper, AddsACopyOfItselfAsAMember)
{
    JsonWrapper doc = Parsed(L"{\"a\":1}");
    ASSERT_TRUE(doc.AddDocument(L"self", doc));
    EXPECT_EQ(doc.Print(), L"{\"a\":1,\"self\":{\"a\":1}}");
}

// ---- Value semantics ----

TEST(JsonWrapper, ReturnsMembersThatCanChangeWithoutChangingTheirSource)
{
    const JsonWrapper source = Parsed(L"{\"inner\":{\"a\":1},\"list\":[\"x\"]}");
    const std::wstring before = source.Print();

    JsonWrapper inner = source.GetMember(L"inner");
    EXPECT_TRUE(inner.AddString(L"b", L"added"));
    EXPECT_EQ(inner.Print(), L"{\"a\":1,\"b\":\"added\"}");

    JsonWrapper list = source.GetItem(1);
    EXPECT_TRUE(list.AppendString(L"y"));
    EXPECT_EQ(list.Print(), L"[\"x\", \"y\"]");

    JsonWrapper replaced = source.GetMember(L"inner");
    EXPECT_TRUE(replaced.MakeArray());
    EXPECT_EQ(source.Print(), before);
}

TEST(JsonWrapper, StoresACopyOfAnAddedDocument)
{
    JsonWrapper target;
    ASSERT_TRUE(target.MakeObject());
    {
        JsonWrapper child;
        ASSERT_TRUE(child.MakeArray());
        ASSERT_TRUE(child.AppendString(L"a"));
        ASSERT_TRUE(target.AddDocument(L"child", child));
        ASSERT_TRUE(child.AppendString(L"late"));
    } // the child is gone; the target must not notice
    EXPECT_EQ(target.Print(), L"{\"child\":[\"a\"]}");
}

TEST(JsonWrapper, CopiesAndAssignsWholeTrees)
{
    const JsonWrapper source = Parsed(L"{\"a\":[1, {\"b\":2}]}");

    JsonWrapper copy(source);
    EXPECT_TRUE(copy.AddBool(L"c", true));

    JsonWrapper assigned = Parsed(L"[\"old\"]");
    assigned = source;
    EXPECT_EQ(assigned.Print(), source.Print());
    EXPECT_TRUE(assigned.AddNumber(L"d", 4));

    EXPECT_EQ(source.Print(), L"{\"a\":[1, {\"b\":2}]}");
    EXPECT_EQ(copy.Print(), L"{\"a\":[1, {\"b\":2}],\"c\":true}");
    EXPECT_EQ(assigned.Print(), L"{\"a\":[1, {\"b\":2}],\"d\":4}");

    JsonWrapper& alias = assigned;
    assigned = alias;
    EXPECT_EQ(assigned.Print(), L"{\"a\":[1, {\"b\":2}],\"d\":4}");

    assigned = JsonWrapper();
    EXPECT_TRUE(assigned.IsEmpty());
}

TEST(JsonWrapper, MovesTheTreeIntoTheTarget)
{
    JsonWrapper source = Parsed(L"{\"a\":1}");
    JsonWrapper moved(std::move(source));
    EXPECT_EQ(moved.Print(), L"{\"a\":1}");

    JsonWrapper target = Parsed(L"[]");
    target = std::move(moved);
    EXPECT_EQ(target.Print(), L"{\"a\":1}");
}

// ---- Robustness ----

TEST(JsonWrapper, RefusesDeeplyNestedTextWithoutCrashing)
{
    const int depth = 100000;
    const std::wstring texts[] = {
        std::wstring(depth, L'['),
        std::wstring(depth, L'[') + std::wstring(depth, L']'),
        std::wstring(depth, L'{'),
        [&] {
            std::wstring text;
            for (int i = 0; i < depth; ++i)
                text += L"{\"a\":[";
            return text;
        }(),
    };
    for (const auto& text : texts) {
        JsonWrapper doc = Parsed(L"{\"old\":1}");
        EXPECT_FALSE(doc.Parse(text)) << text.substr(0, 16);
        EXPECT_TRUE(doc.IsEmpty());
    }
}

TEST(JsonWrapper, HandlesModeratelyNestedTextFully)
{
    const int depth = 200;
    std::wstring text;
    for (int i = 0; i < depth; ++i)
        text += L"{\"a\":[";
    text += L"\"leaf\"";
    for (int i = 0; i < depth; ++i)
        text += L"]}";

    const JsonWrapper doc = Parsed(text);
    EXPECT_EQ(doc.Print(), text);
    const JsonWrapper copy = doc;
    EXPECT_EQ(copy.GetMember(L"A").GetItem(0).GetMember(L"a").GetCount(), 1);
}

TEST(JsonWrapper, KeepsHugeStringsWhole)
{
    std::wstring value;
    const std::wstring piece = L"a\u00e9\U0001F600\"\\\n\x01 ";
    while (value.size() < (1u << 22))
        value += piece;
    const std::wstring name(1 << 20, L'k');

    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddString(name, value));
    std::wstring text;
    EXPECT_TRUE(doc.GetMember(name).GetText(text));
    EXPECT_TRUE(text == value) << "value of " << text.size() << " characters differs";

    const JsonWrapper back = Parsed(doc.Print());
    text.clear();
    EXPECT_TRUE(back.GetMember(name).GetText(text));
    EXPECT_TRUE(text == value) << "value of " << text.size() << " characters differs";
    EXPECT_TRUE(back.GetItem(0).GetName() == name);
}

TEST(JsonWrapper, HandlesLongArrays)
{
    std::wstring text = L"[";
    for (int i = 0; i < 100000; ++i)
        text += std::to_wstring(i) + L", ";
    text += L"\"end\"]";
    const JsonWrapper doc = Parsed(text);
    EXPECT_EQ(doc.GetCount(), 100001);
    EXPECT_EQ(doc.GetItem(99999).Print(), L"99999");
    EXPECT_EQ(doc.Print(), text);
}

TEST(JsonWrapper, EndsNamesAndValuesAtAnEmbeddedNul)
{
    // The tree holds C strings, so what follows a NUL cannot be kept.
    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddString(std::wstring(L"k\0hidden", 8), std::wstring(L"a\0b", 3)));
    EXPECT_EQ(doc.Print(), L"{\"k\":\"a\"}");

    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    ASSERT_TRUE(list.AppendString(std::wstring(L"\0x", 2)));
    EXPECT_EQ(list.Print(), L"[\"\"]");
}

TEST(JsonWrapper, ParsesTextWithNulAndControlBytesWithoutCrashing)
{
    const std::wstring texts[] = {
        std::wstring(L"[\"a\0b\"]", 7),
        std::wstring(L"{\"a\0\":1}", 8),
        std::wstring(L"\0", 1),
        std::wstring(L"[\0]", 3),
        L"\"\\u0000\"",
        L"{\"\\u0000x\":\"\\u0000y\"}",
        L"[\"\x01\x02\x1b\x7f\"]",
    };
    for (const auto& text : texts) {
        JsonWrapper doc;
        if (!doc.Parse(text)) {
            EXPECT_TRUE(doc.IsEmpty());
            continue;
        }
        // Whatever was kept must print as text that reads back the same.
        const std::wstring printed = doc.Print();
        EXPECT_EQ(printed.find(L'\0'), std::wstring::npos);
        EXPECT_EQ(Parsed(printed).Print(), printed);
    }
}

TEST(JsonWrapper, KeepsANulInsideAStringValueSoThatTheTextDoesNotEndThere)
{
    // A request's file name "a.txt\u0000.jpg" must not read as "a.txt". The raw text is the point.
    const std::wstring texts[] = {L"[\"a.txt\\u0000.jpg\"]", std::wstring(L"[\"a.txt\0.jpg\"]", 14),
                                  std::wstring(L"[\"a.txt\\\0.jpg\"]", 15)};
    for (const std::wstring& text : texts) {
        SCOPED_TRACE(::testing::Message() << "text of " << text.size() << " characters");
        const JsonWrapper doc = Parsed(text);
        EXPECT_EQ(doc.Print(), L"[\"a.txt\\u0000.jpg\"]");
        std::wstring value;
        ASSERT_TRUE(doc.GetItem(0).GetText(value));
        EXPECT_EQ(value.find(L'\0'), std::wstring::npos);
        EXPECT_EQ(value.substr(0, 5), L"a.txt");
        EXPECT_EQ(value.substr(value.size() - 4), L".jpg");
        EXPECT_NE(value, L"a.txt");
    }
    // In a name it becomes U+FFFD, which reads back as itself, so the member is found by what it
    // reads as and never by the text before the NUL.
    const JsonWrapper named = Parsed(L"{\"cmd\\u0000x\":\"getprops\"}");
    EXPECT_EQ(named.Print(), L"{\"cmd\uFFFDx\":\"getprops\"}");
    EXPECT_TRUE(named.Member(L"cmd").IsEmpty());
    EXPECT_EQ(MemberText(named, named.GetItem(0).GetName()), L"getprops");
}

TEST(JsonWrapper, RefusesANumberTextLongerThan400Characters)
{
    // The C runtime's conversion takes time that grows with the square of the length: a megabyte
    // of fraction digits took more than a minute.
    const struct {
        std::wstring number;
        bool parses;
    } cases[] = {
        {std::wstring(400, L'1'), true},
        {L"-" + std::wstring(399, L'7'), true},
        {L"0." + std::wstring(397, L'0') + L"5", true},
        {L"1." + std::wstring(394, L'0') + L"e-10", true},
        {std::wstring(401, L'1'), false},
        {L"-" + std::wstring(400, L'7'), false},
        {L"0." + std::wstring(398, L'0') + L"5", false},
        {L"1." + std::wstring(395, L'0') + L"e-10", false},
        {L"0." + std::wstring(1 << 20, L'1'), false},
        {L"1." + std::wstring((1 << 20) - 1, L'0') + L"1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "number of " << c.number.size() << " characters");
        for (const std::wstring& text : {c.number, L"{\"n\":" + c.number + L"}", L"[1, " + c.number + L"]"}) {
            JsonWrapper doc = Parsed(L"{\"old\":1}");
            EXPECT_EQ(doc.Parse(text), c.parses);
            EXPECT_EQ(doc.IsEmpty(), !c.parses);
        }
    }
}

TEST(JsonWrapper, ReplacesInvalidUtf16InNamesAndValues)
{
    const std::wstring badName = std::wstring(L"k") + kHighSurrogate;
    const std::wstring badValue = std::wstring(L"a") + kLowSurrogate + L"b";

    JsonWrapper doc;
    ASSERT_TRUE(doc.MakeObject());
    ASSERT_TRUE(doc.AddString(badName, badValue));
    ASSERT_TRUE(doc.AddString(std::wstring{kLowSurrogate, kHighSurrogate}, L"swapped"));
    ASSERT_TRUE(doc.AddString(L"\U0001F600", L"pair"));
    EXPECT_EQ(doc.Print(), L"{\"k\uFFFD\":\"a\uFFFDb\",\"\uFFFD\uFFFD\":\"swapped\",\"\U0001F600\":\"pair\"}");

    std::wstring value;
    EXPECT_TRUE(doc.GetMember(badName).GetText(value)); // the name is converted before comparing
    EXPECT_EQ(value, L"a\uFFFDb");
    EXPECT_EQ(doc.GetItem(0).GetName(), L"k\uFFFD");
    EXPECT_EQ(doc.GetMember(L"\U0001F600").GetName(), L"\U0001F600");

    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    ASSERT_TRUE(list.AppendString(std::wstring(1, kHighSurrogate)));
    EXPECT_EQ(list.Print(), L"[\"\uFFFD\"]");

    const JsonWrapper parsed = Parsed(L"{\"" + badName + L"\":\"" + badValue + L"\"}");
    EXPECT_EQ(parsed.Print(), L"{\"k\uFFFD\":\"a\uFFFDb\"}");
    EXPECT_FALSE(HasUnpairedSurrogate(parsed.GetItem(0).GetName()));
}

// Reading in place: views borrow the document's nodes and must read exactly what the copying
// getters read.

TEST(JsonView, ReadsMembersAndValuesAsTheCopyingGettersDo)
{
    const JsonWrapper doc =
        Parsed(L"{\"Cmd\":\"getprops\",\"n\":3.7,\"flag\":true,\"off\":false,\"none\":null,\"list\":[1,\"a\"],"
               L"\"obj\":{\"x\":\"y\"},\"cmd\":\"second\"}");
    for (const wchar_t* name : {L"cmd", L"CMD", L"n", L"flag", L"off", L"none", L"list", L"obj", L"missing"}) {
        std::wstring viewText = L"unset", copyText = L"unset";
        EXPECT_EQ(doc.Member(name).GetText(viewText), doc.GetMember(name).GetText(copyText)) << name;
        EXPECT_EQ(viewText, copyText) << name;
        int viewInt = -1, copyInt = -1;
        EXPECT_EQ(doc.Member(name).GetInt(viewInt), doc.GetMember(name).GetInt(copyInt)) << name;
        EXPECT_EQ(viewInt, copyInt) << name;
        bool viewBool = false, copyBool = false;
        EXPECT_EQ(doc.Member(name).GetBool(viewBool), doc.GetMember(name).GetBool(copyBool)) << name;
        EXPECT_EQ(viewBool, copyBool) << name;
        EXPECT_EQ(doc.Member(name).Count(), doc.GetMember(name).GetCount()) << name;
        EXPECT_EQ(doc.Member(name).Copy().Print(), doc.GetMember(name).Print()) << name;
    }
    EXPECT_EQ(MemberText(doc, L"CMD"), L"getprops");
    EXPECT_EQ(MemberText(doc.Member(L"obj"), L"X"), L"y");
    EXPECT_EQ(MemberText(doc.Member(L"list"), L"0"), L"");
}

TEST(JsonView, IteratesChildrenInOrderWithTheirNames)
{
    const JsonWrapper doc = Parsed(L"{\"a\":1,\"b\":[true,\"t\",null],\"a\":2}");
    std::wstring names;
    for (JsonView member : doc.View())
        names += member.Name() + L";";
    EXPECT_EQ(names, L"a;b;a;");

    std::wstring items;
    for (JsonView item : doc.Member(L"b")) {
        std::wstring text = L"-";
        item.GetText(text);
        items += text + L"(" + item.Name() + L")";
    }
    EXPECT_EQ(items, L"true()t()-()");
}

TEST(JsonView, FindsNothingInsideScalarsOrAnEmptyDocument)
{
    const JsonWrapper empty;
    const JsonWrapper scalar = Parsed(L"\"text\"");
    for (const JsonWrapper* doc : {&empty, &scalar}) {
        EXPECT_TRUE(doc->Member(L"text").IsEmpty());
        EXPECT_EQ(doc->View().Count(), 0);
        EXPECT_TRUE(doc->View().begin() == doc->View().end());
    }
    EXPECT_TRUE(JsonView().Copy().IsEmpty());
}

TEST(JsonView, AddsACopyOfTheViewedNodeUnderTheNewName)
{
    JsonWrapper source = Parsed(L"{\"inner\":{\"k\":[1,2]}}");
    JsonWrapper target;
    ASSERT_TRUE(target.MakeObject());
    EXPECT_TRUE(target.AddView(L"copy", source.Member(L"inner")));
    EXPECT_FALSE(target.AddView(L"none", source.Member(L"missing")));
    source.MakeArray(); // the copy must not share the source's nodes
    EXPECT_EQ(target.Print(), L"{\"copy\":{\"k\":[1, 2]}}");
}

TEST(JsonView, WalksALongListOnceInOrder)
{
    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    for (int i = 0; i < 50000; ++i)
        list.AppendString(std::to_wstring(i));
    int expected = 0;
    for (JsonView item : list.View()) {
        std::wstring text;
        ASSERT_TRUE(item.GetText(text));
        ASSERT_EQ(text, std::to_wstring(expected));
        ++expected;
    }
    EXPECT_EQ(expected, 50000);
}
