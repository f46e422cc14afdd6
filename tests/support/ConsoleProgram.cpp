#include "ConsoleProgram.h"

#include "platform/UniqueHandle.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <thread>

std::string RunConsoleProgram(const std::wstring& fileName, const std::string& input, bool* started)
{
    if (started) *started = false;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inReadRaw = nullptr, inWriteRaw = nullptr, outReadRaw = nullptr, outWriteRaw = nullptr;
    if (!CreatePipe(&inReadRaw, &inWriteRaw, &inherit, 0)) return {};
    UniqueHandle inRead(inReadRaw), inWrite(inWriteRaw);
    if (!CreatePipe(&outReadRaw, &outWriteRaw, &inherit, 0)) return {};
    UniqueHandle outRead(outReadRaw), outWrite(outWriteRaw);
    SetHandleInformation(inWrite.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.Get();
    startup.hStdOutput = outWrite.Get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + BesideTestProgram(fileName) + L"\"";
    const BOOL ok =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    // The child holds its own ends now; ours must close so that the pipes can end.
    inRead.Reset();
    outWrite.Reset();
    if (!ok) return {};
    if (started) *started = true;
    const UniqueHandle process(info.hProcess), thread(info.hThread);

    // Written from another thread, so that neither side can block the other on a full pipe.
    std::thread writer([&] {
        DWORD written = 0;
        WriteFile(inWrite.Get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        inWrite.Reset();
    });
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(outRead.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        output.append(buffer, read);
    writer.join();
    WaitForSingleObject(process.Get(), INFINITE);
    return output;
}
