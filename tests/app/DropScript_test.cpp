// Dropped names reach the page through one script call; whatever a name holds, the page must get
// exactly the JSON text of the list, and no name may end the string or run as script.
#include "app/DropScript.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/support/Requests.h"
#include "tests/support/ScriptLiteral.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace script_literal;

// Characters that must never stand raw inside the literal's quotes.
void ExpectNoRawDangerousCharacters(const std::wstring& literal, const std::string& label)
{
    ASSERT_GE(literal.size(), 2u);
    const std::wstring body = literal.substr(1, literal.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
        const wchar_t c = body[i];
        EXPECT_FALSE(IsLineTerminator(c)) << label << " raw line terminator at " << i;
        EXPECT_NE(c, L'<') << label << " raw '<' at " << i;
        if (c == L'\\') {
            ++i; // the escaped character belongs to its escape
            continue;
        }
        EXPECT_NE(c, L'"') << label << " raw quote at " << i;
        EXPECT_NE(c, L'\'') << label << " raw apostrophe at " << i;
    }
}

struct NastyName {
    const char* label;
    std::wstring name;
};

const std::vector<NastyName>& NastyNames()
{
    static const std::vector<NastyName> names = {
        {"plain path", L"C:\\Users\\me\\Music\\song.mp3"},
        {"apostrophe", L"C:\\Tom's files\\it's.txt"},
        {"quote", L"C:\\a \"quoted\" name.txt"},
        {"backslash before quote and apostrophe", L"C:\\x\\\"\\'\\\\"},
        {"backslash-letter pairs", L"C:\\new\\table\\u0041\\x41\\0\\r"},
        {"line feed", L"C:\\two\nlines.txt"},
        {"carriage return", L"C:\\two\rlines.txt"},
        {"tab and other controls", L"C:\\t\tb\x01\x1f\x7f.txt"},
        {"closing script tag", L"C:\\</script><script>alert(1)</script>.txt"},
        {"comment opener", L"C:\\<!-- x -->.txt"},
        {"line separators", L"C:\\a\u2028b\u2029c.txt"},
        {"non-ASCII letters", L"C:\\\u041F\u0440\u0438\u0432\u0435\u0442\\\u00E9t\u00E9\\\u65E5\u672C.txt"},
        {"outside the basic plane", L"C:\\\U0001F600\\\U0001D11E.txt"},
        {"script injection", L"C:\\'); alert(1); ('\\\"); alert(2); (\".txt"},
        {"empty", L""},
    };
    return names;
}

TEST(DropScript, LiteralOfAnyTextDecodesToExactlyThatText)
{
    for (const NastyName& entry : NastyNames()) {
        const std::wstring literal = ScriptStringLiteral(entry.name);
        const auto value = DecodeWholeLiteral(literal);
        ASSERT_TRUE(value.has_value()) << entry.label << ": " << Utf16ToUtf8(literal);
        EXPECT_EQ(*value, entry.name) << entry.label;
        ExpectNoRawDangerousCharacters(literal, entry.label);
    }
}

TEST(DropScript, LiteralKeepsEmbeddedNullsAndLoneSurrogates)
{
    const std::wstring texts[] = {std::wstring(L"a\0b", 3), std::wstring(1, wchar_t(0xD800)) + L"x",
                                  L"y" + std::wstring(1, wchar_t(0xDC00))};
    for (const std::wstring& text : texts) {
        const auto value = DecodeWholeLiteral(ScriptStringLiteral(text));
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(*value, text);
    }
}

TEST(DropScript, CallHandsThePrintedListToOnAddFilesAsOneStringArgument)
{
    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    for (const NastyName& entry : NastyNames())
        ASSERT_TRUE(list.AppendString(entry.name)) << entry.label;
    const std::wstring printed = list.Print();
    ASSERT_FALSE(printed.empty());

    const std::wstring call = AddFilesScript(printed);
    const std::wstring head = L"onAddFiles(";
    const std::wstring tail = L");";
    ASSERT_EQ(call.compare(0, head.size(), head), 0) << Utf16ToUtf8(call);
    ASSERT_GE(call.size(), head.size() + tail.size());
    ASSERT_EQ(call.compare(call.size() - tail.size(), tail.size(), tail), 0) << Utf16ToUtf8(call);

    size_t i = head.size();
    const auto value = DecodeLiteral(call, i);
    ASSERT_TRUE(value.has_value()) << Utf16ToUtf8(call);
    EXPECT_EQ(call.substr(i), tail) << "the string must end exactly before the closing bracket";
    EXPECT_EQ(*value, printed);
    ExpectNoRawDangerousCharacters(call.substr(head.size(), i - head.size()), "call");

    // What the page parses is the dropped names themselves.
    const std::vector<std::wstring> names = TextItems(Parsed(*value).View());
    ASSERT_EQ(names.size(), NastyNames().size());
    for (size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(names[k], NastyNames()[k].name) << NastyNames()[k].label;
}

TEST(DropScript, EmptyListIsStillHandedOver)
{
    JsonWrapper list;
    ASSERT_TRUE(list.MakeArray());
    const std::wstring call = AddFilesScript(list.Print());
    size_t i = std::wstring(L"onAddFiles(").size();
    const auto value = DecodeLiteral(call, i);
    ASSERT_TRUE(value.has_value()) << Utf16ToUtf8(call);
    EXPECT_EQ(*value, L"[]");
}

} // namespace
