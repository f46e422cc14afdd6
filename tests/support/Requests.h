#pragma once
// Requests of the page built as JSON documents, and answers read back, for the tests of the
// commands, the COM face and the console program. Building the request as a document escapes a
// path or any other value as the page's own JSON does, so a test cannot pass or fail on how it
// glued text together. Tests whose point is the raw text itself (malformed JSON, the letter case
// of member names, members of the wrong kind) write that text out instead.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// One JSON object, built member by member in the order given; it converts to its printed text.
class JsonObject {
public:
    JsonObject();

    JsonObject& Text(const std::wstring& name, const std::wstring& value);
    JsonObject& Number(const std::wstring& name, double value);
    JsonObject& Bool(const std::wstring& name, bool value);
    JsonObject& Object(const std::wstring& name, const JsonObject& value);
    // A member of any kind, given as its JSON text: "[1]", "null", ...
    JsonObject& Json(const std::wstring& name, const std::wstring& text);

    const JsonWrapper& Document() const { return document_; }
    std::wstring Print() const { return document_.Print(); }
    // UTF-8, as a line on the console program's standard input.
    std::string Utf8() const;
    operator std::wstring() const { return Print(); }

private:
    JsonWrapper document_;
};

inline JsonObject Object()
{
    return JsonObject();
}

// A request of the page: an object whose "cmd" member names the command.
inline JsonObject Request(const std::wstring& command)
{
    return JsonObject().Text(L"cmd", command);
}

// The JSON string literal of a text, quotes included, for the tests that keep a raw request.
std::wstring JsonLiteral(const std::wstring& text);

// The document of a text that must be JSON, such as a command's answer.
JsonWrapper Parsed(const std::wstring& text);

// The texts of a list's items, each of which must be a string.
std::vector<std::wstring> TextItems(JsonView list);

// The answer to a request that must be JSON, from whatever runs requests (the engine, the COM face).
template <typename Runner> std::wstring AnswerTo(Runner& runner, const std::wstring& request)
{
    std::wstring answer;
    EXPECT_TRUE(runner.RunRequest(request, answer)) << Utf16ToUtf8(request);
    return answer;
}
