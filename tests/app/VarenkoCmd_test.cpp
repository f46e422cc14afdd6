// Drives the console program as a user's script would: request lines in, answer lines out.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"varenko-cmd.exe";
}

// Runs the program with the given standard input and returns its standard output.
std::string RunProgram(const std::string& input)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) || !CreatePipe(&outRead, &outWrite, &inherit, 0)) return {};
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    std::string output;
    if (started) {
        // Write from another thread so that neither side can block the other on a full pipe.
        std::thread writer([&] {
            DWORD written = 0;
            WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
            CloseHandle(inWrite);
        });
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(outRead, buffer, sizeof buffer, &read, nullptr) && read > 0)
            output.append(buffer, read);
        writer.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        CloseHandle(inWrite);
    }
    CloseHandle(outRead);
    return output;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// A Windows path as UTF-8 JSON string text.
std::string Quoted(const std::wstring& path)
{
    JsonWrapper list;
    list.MakeArray();
    list.AppendString(path);
    const std::string printed = Utf16ToUtf8(list.Print());
    return printed.substr(2, printed.size() - 4); // inside [" and "]
}

JsonWrapper AnswerOf(const std::string& line)
{
    JsonWrapper output, answer;
    std::wstring text;
    output.Parse(Utf8ToUtf16(line));
    output.GetMember(L"answer").GetText(text);
    answer.Parse(text);
    return answer;
}

} // namespace

TEST(VarenkoCmd, AnswersEachRequestLineWithOneOutputLine)
{
    const struct {
        std::string request;
        std::string output;
    } cases[] = {
        {"{\"cmd\":\"nosuch\"}", "{\"hr\":0,\"answer\":\"\"}"},
        {"not json", "{\"hr\":0}"},
        {"", "{\"hr\":0}"},
        {"{\"cmd\":\"log\",\"data\":\"page loaded\"}\r", "{\"hr\":0,\"answer\":\"\"}"},
        {"{\"cmd\":\"LOG\",\"data\":\"page loaded\"}", "{\"hr\":0,\"answer\":\"\"}"},
        {"{\"cmd\":\"initproplist\",\"cat\":\"exif\",\"props\":\"{}\"}", "{\"hr\":0,\"answer\":\"\"}"},
        {"{\"cmd\":\"setprops\",\"filename\":\"x\",\"cat\":\"DOC\",\"props\":{}}",
         "{\"hr\":0,\"answer\":\"{\\\"error\\\":\\\"\\\"}\"}"},
        {"{\"cmd\":\"setprops\",\"filename\":\"C:\\\\no\\\\such\\\\file.jpg\",\"cat\":\"datetime\",\"props\":{"
         "\"createtime\":\"2020:01:31 13:45:00\",\"modifytime\":\"\",\"accesstime\":\"\"}}",
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

TEST(VarenkoCmd, EditsTimesAndAttributesOfFilesWithNonAsciiNames)
{
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"na\u00efve \u0416 \u4e2d.txt", "kept");
    const std::string name = Quoted(file);
    const std::string input =
        "{\"cmd\":\"setprops\",\"filename\":\"" + name +
        "\",\"cat\":\"datetime\",\"props\":{\"createtime\":\"2020:01:31 13:45:00\",\"modifytime\":\"2021/6/5 "
        "7:08:09\",\"accesstime\":\"\"}}\n"
        "{\"cmd\":\"setprops\",\"filename\":\"" +
        name + "\",\"cat\":\"attributes\",\"props\":{\"attributes\":\"RA\"}}\n" + "{\"cmd\":\"getprops\",\"name\":\"" +
        name + "\",\"allprops\":true}\n";
    const std::vector<std::string> lines = Lines(RunProgram(input));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "{\"hr\":0,\"answer\":\"{\\\"result\\\":true,\\\"error\\\":\\\"\\\"}\"}");
    EXPECT_EQ(lines[1], lines[0]);

    const JsonWrapper answer = AnswerOf(lines[2]);
    std::wstring created, modified, attributes;
    answer.GetMember(L"createtime").GetText(created);
    answer.GetMember(L"modifytime").GetText(modified);
    answer.GetMember(L"attributes").GetText(attributes);
    // Wine on a Linux file system has no creation time of its own to set, so only its form is checked.
    EXPECT_EQ(created.size(), 19u);
    EXPECT_EQ(modified, L"2021:06:05 07:08:09");
    EXPECT_NE(attributes.find(L'R'), std::wstring::npos);
    EXPECT_EQ(ReadAll(file), "kept");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}
