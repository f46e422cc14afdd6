#include "tests/support/Requests.h"

JsonObject::JsonObject()
{
    document_.MakeObject();
}

JsonObject& JsonObject::Text(const std::wstring& name, const std::wstring& value)
{
    EXPECT_TRUE(document_.AddString(name, value)) << Utf16ToUtf8(name);
    return *this;
}

JsonObject& JsonObject::Number(const std::wstring& name, double value)
{
    EXPECT_TRUE(document_.AddNumber(name, value)) << Utf16ToUtf8(name);
    return *this;
}

JsonObject& JsonObject::Bool(const std::wstring& name, bool value)
{
    EXPECT_TRUE(document_.AddBool(name, value)) << Utf16ToUtf8(name);
    return *this;
}

JsonObject& JsonObject::Object(const std::wstring& name, const JsonObject& value)
{
    EXPECT_TRUE(document_.AddDocument(name, value.document_)) << Utf16ToUtf8(name);
    return *this;
}

JsonObject& JsonObject::Json(const std::wstring& name, const std::wstring& text)
{
    EXPECT_TRUE(document_.AddDocument(name, Parsed(text))) << Utf16ToUtf8(name);
    return *this;
}

std::string JsonObject::Utf8() const
{
    return Utf16ToUtf8(Print());
}

std::wstring JsonLiteral(const std::wstring& text)
{
    // A document is an object or a list, so the string is printed inside a list of one.
    JsonWrapper list;
    list.MakeArray();
    EXPECT_TRUE(list.AppendString(text));
    const std::wstring printed = list.Print();
    return printed.substr(1, printed.size() - 2);
}

JsonWrapper Parsed(const std::wstring& text)
{
    JsonWrapper document;
    EXPECT_TRUE(document.Parse(text)) << Utf16ToUtf8(text);
    return document;
}

std::vector<std::wstring> TextItems(JsonView list)
{
    EXPECT_TRUE(list.IsArray());
    std::vector<std::wstring> texts;
    for (const JsonView item : list) {
        std::wstring text;
        EXPECT_TRUE(item.IsString()) << "item " << texts.size();
        item.GetText(text);
        texts.push_back(text);
    }
    return texts;
}
