// Drives the console program as a user's script would: request lines in, answer lines out.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/support/ConsoleProgram.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::string RunProgram(const std::string& input)
{
    return RunConsoleProgram(L"varenko-cmd.exe", input);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The answer a program's output line carries, which is itself a JSON text.
JsonWrapper AnswerOf(const std::string& line)
{
    return Parsed(MemberText(Parsed(Utf8ToUtf16(line)), L"answer"));
}

} // namespace

TEST(VarenkoCmd, AnswersEachRequestLineWithOneOutputLine)
{
    const struct {
        std::string request;
        std::string output;
    } cases[] = {
        {Request(L"nosuch").Utf8(), "{\"hr\":0,\"answer\":\"\"}"},
        // Lines that are not JSON stay raw text, as does the line end of a script written on Windows.
        {"not json", "{\"hr\":0}"},
        {"", "{\"hr\":0}"},
        {Request(L"log").Text(L"data", L"page loaded").Utf8() + "\r", "{\"hr\":0,\"answer\":\"\"}"},
        {Request(L"LOG").Text(L"data", L"page loaded").Utf8(), "{\"hr\":0,\"answer\":\"\"}"},
        {Request(L"initproplist").Text(L"cat", L"exif").Text(L"props", L"{}").Utf8(), "{\"hr\":0,\"answer\":\"\"}"},
        {Request(L"setprops").Text(L"filename", L"x").Text(L"cat", L"DOC").Object(L"props", Object()).Utf8(),
         "{\"hr\":0,\"answer\":\"{\\\"error\\\":\\\"\\\"}\"}"},
        {Request(L"setprops")
             .Text(L"filename", L"C:\\no\\such\\file.jpg")
             .Text(L"cat", L"datetime")
             .Object(
                 L"props",
                 Object().Text(L"createtime", L"2020:01:31 13:45:00").Text(L"modifytime", L"").Text(L"accesstime", L""))
             .Utf8(),
         "{\"hr\":0,\"answer\":\"{\\\"result\\\":false,\\\"error\\\":\\\"file open failed, error: 3\\\"}\"}"},
    };
    std::string input;
    for (const auto& c : cases)
        input += c.request + "\n";
    const std::vector<std::string> lines = Lines(RunProgram(input));
    ASSERT_EQ(lines.size(), std::size(cases));
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], cases[i].output) << cases[i].request;
}

TEST(VarenkoCmd, TakesEveryKindOfLineEndAndSkipsAByteOrderMark)
{
    // Two requests whose answers tell them apart.
    const std::string first = Request(L"nosuch").Utf8();
    const std::string second = Request(L"setwinsize").Text(L"size", L"{\"width\":1}").Utf8();
    const std::string firstAnswer = "{\"hr\":0,\"answer\":\"\"}";
    const std::string secondAnswer = "{\"hr\":0,\"answer\":\"{\\\"width\\\":1}\"}";
    const std::string emptyLine = "{\"hr\":0}";
    const struct {
        const char* what;
        std::string input;
        std::vector<std::string> output;
    } cases[] = {
        {"line feeds", first + "\n" + second + "\n", {firstAnswer, secondAnswer}},
        {"carriage returns alone", first + "\r" + second + "\r", {firstAnswer, secondAnswer}},
        {"carriage return and line feed", first + "\r\n" + second + "\r\n", {firstAnswer, secondAnswer}},
        {"a mix, with an empty line", first + "\r\r\n" + second + "\n", {firstAnswer, emptyLine, secondAnswer}},
        {"no end after the last line", first + "\r" + second, {firstAnswer, secondAnswer}},
        {"a byte-order mark", "\xEF\xBB\xBF" + first + "\r\n" + second + "\r\n", {firstAnswer, secondAnswer}},
        // Only at the very start is it a mark; elsewhere it is text, and the line is not JSON.
        {"a mark on a later line", first + "\n\xEF\xBB\xBF" + second + "\n", {firstAnswer, emptyLine}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lines(RunProgram(c.input)), c.output) << c.what;
}

TEST(VarenkoCmd, EditsTimesAndAttributesOfFilesWithNonAsciiNames)
{
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"na\u00efve \u0416 \u4e2d.txt", "kept");
    const JsonObject requests[] = {
        Request(L"setprops")
            .Text(L"filename", file)
            .Text(L"cat", L"datetime")
            .Object(L"props", Object()
                                  .Text(L"createtime", L"2020:01:31 13:45:00")
                                  .Text(L"modifytime", L"2021/6/5 7:08:09")
                                  .Text(L"accesstime", L"")),
        Request(L"setprops")
            .Text(L"filename", file)
            .Text(L"cat", L"attributes")
            .Object(L"props", Object().Text(L"attributes", L"RA")),
        Request(L"getprops").Text(L"name", file).Bool(L"allprops", true),
    };
    std::string input;
    for (const JsonObject& request : requests)
        input += request.Utf8() + "\n";
    const std::vector<std::string> lines = Lines(RunProgram(input));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "{\"hr\":0,\"answer\":\"{\\\"result\\\":true,\\\"error\\\":\\\"\\\"}\"}");
    EXPECT_EQ(lines[1], lines[0]);

    const JsonWrapper answer = AnswerOf(lines[2]);
    // Wine on a Linux file system has no creation time of its own to set, so only its form is checked.
    EXPECT_EQ(MemberText(answer, L"createtime").size(), 19u);
    EXPECT_EQ(MemberText(answer, L"modifytime"), L"2021:06:05 07:08:09");
    EXPECT_NE(MemberText(answer, L"attributes").find(L'R'), std::wstring::npos);
    EXPECT_EQ(ReadAll(file), "kept");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}
