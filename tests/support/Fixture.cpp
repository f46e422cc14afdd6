#include "tests/support/Fixture.h"
#include "core/TextConvert.h"

#include <cwctype>
#include <stdexcept>

namespace {

// Wine's own path conversions; absent on Windows itself.
using UnixNameFunction = char*(CDECL*)(const WCHAR*);
using DosNameFunction = WCHAR*(CDECL*)(const char*);

template <typename Function> Function WineFunction(const char* name)
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

std::wstring WithBackslashes(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

// The Windows path of a Unix path: Wine's mapping when there is one, else the Z: drive, which a
// default prefix maps to the Unix root. (GetFullPathNameW would put the path on the current
// drive, which is Z: only when the program was started from a Unix folder.)
std::wstring DosPath(const std::string& unixPath)
{
    if (const auto toDos = WineFunction<DosNameFunction>("wine_get_dos_file_name")) {
        if (WCHAR* dos = toDos(unixPath.c_str())) {
            std::wstring path = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return path;
        }
    }
    return WithBackslashes(L"Z:" + Utf8ToUtf16(unixPath));
}

// The source tree as the build saw it: a Unix path when built on Linux, a Windows one otherwise.
std::wstring SourceFolder()
{
    const std::string folder = VARENKO_SOURCE_DIR;
    if (!folder.empty() && folder[0] == '/') return DosPath(folder);
    return WithBackslashes(Utf8ToUtf16(folder));
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsWindowsPath(const std::wstring& text)
{
    return text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\';
}

// One argument as the command-line parser splits it back (Wine applies the Windows rules when it
// makes a Linux program's argv): quotes around it, backslashes doubled only before a quote.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

// Runs "$@" with its output in files and writes its exit code to the status file last, through a
// rename, so that the file appears only complete. 127 means the program is not there.
constexpr const wchar_t* kRunScript =
    L"out=$1 err=$2 status=$3; shift 3; "
    L"if command -v \"$1\" >/dev/null 2>&1; then \"$@\" </dev/null >\"$out\" 2>\"$err\"; code=$?; "
    L"else echo \"$1: not found on PATH\" >\"$err\"; code=127; fi; "
    L"echo $code >\"$status.part\" && mv \"$status.part\" \"$status\"";

constexpr DWORD kReaderTimeoutMs = 120000;

ReaderResult Missing(const std::string& why)
{
    ReaderResult result;
    result.missing = why;
    return result;
}

} // namespace

std::wstring FixturePath(const std::wstring& relative)
{
    return SourceFolder() + L"\\tests\\data\\" + WithBackslashes(relative);
}

std::wstring CopyFixture(const std::wstring& relative, const TempDir& dir, const std::wstring& name)
{
    const std::wstring source = FixturePath(relative);
    std::wstring target = name;
    if (target.empty()) {
        const size_t slash = source.find_last_of(L'\\');
        target = source.substr(slash + 1);
    }
    target = dir.Path() + L"\\" + target;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE))
        throw std::runtime_error("cannot copy the fixture " + Utf16ToUtf8(source) + " (error " +
                                 std::to_string(GetLastError()) + ")");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return target;
}

std::string UnixPath(const std::wstring& path)
{
    const auto toUnix = WineFunction<UnixNameFunction>("wine_get_unix_file_name");
    if (toUnix == nullptr) return {};
    char* unixPath = toUnix(path.c_str());
    if (unixPath == nullptr) return {};
    std::string out = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return out;
}

ReaderResult RunReader(const std::wstring& program, const std::vector<std::wstring>& args)
{
    if (WineFunction<UnixNameFunction>("wine_get_unix_file_name") == nullptr)
        return Missing("not running under Wine: the readers are Linux programs");
    const std::wstring shell = DosPath("/bin/sh");
    if (!Exists(shell)) return Missing("no /bin/sh to start the readers with");

    std::vector<std::wstring> argv;
    const bool script = program.size() > 3 && program.compare(program.size() - 3, 3, L".py") == 0;
    if (script) {
        const std::wstring file = SourceFolder() + L"\\tests\\readers\\" + program;
        if (!Exists(file)) return Missing("no reader script " + Utf16ToUtf8(file));
        // Debian's modules live with Debian's interpreter; another python3 may come first on PATH.
        argv.push_back(Exists(DosPath("/usr/bin/python3")) ? L"/usr/bin/python3" : L"python3");
        argv.push_back(Utf8ToUtf16(UnixPath(file)));
    } else {
        argv.push_back(program);
    }
    for (const std::wstring& arg : args)
        argv.push_back(IsWindowsPath(arg) ? Utf8ToUtf16(UnixPath(arg)) : arg);

    const TempDir scratch;
    const std::wstring status = scratch.Path() + L"\\status";
    std::wstring commandLine = L"sh -c " + Quoted(kRunScript) + L" sh";
    for (const std::wstring& file : {scratch.Path() + L"\\out", scratch.Path() + L"\\err", status})
        commandLine += L" " + Quoted(Utf8ToUtf16(UnixPath(file)));
    for (const std::wstring& arg : argv)
        commandLine += L" " + Quoted(arg);

    // The shell gets NUL for its standard handles, so it never holds the test's own output open.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(shell.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &process);
    const DWORD startError = GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) return Missing("cannot start /bin/sh (error " + std::to_string(startError) + ")");
    // Wine hands back no process for a Linux program; should a later one do so, it is not needed.
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }

    ReaderResult result;
    result.found = true;
    const DWORD begin = GetTickCount();
    while (!Exists(status)) {
        if (GetTickCount() - begin > kReaderTimeoutMs) {
            result.err = "the reader gave no answer within " + std::to_string(kReaderTimeoutMs / 1000) + " s";
            return result;
        }
        Sleep(10);
    }
    result.exitCode = std::stoi("0" + ReadAll(status));
    result.out = ReadAll(scratch.Path() + L"\\out");
    result.err = ReadAll(scratch.Path() + L"\\err");
    if (result.exitCode == 127) {
        result.found = false;
        result.missing = Utf16ToUtf8(program) + ": " + result.err;
    }
    return result;
}
