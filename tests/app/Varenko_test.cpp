// The program itself: what a user sees when its page cannot be shown, how it ends, and what its
// file carries (icons, manifest, version, subsystem).
#include "core/TextConvert.h"
#include "platform/PageAddress.h"
#include "tests/support/TestFiles.h"
#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring ProgramPath()
{
    return BesideTestProgram(L"Varenko.exe");
}

struct Search {
    DWORD processId;
    HWND found;
};

// A top-level message box of the given process.
HWND FindMessageBox(DWORD processId)
{
    Search search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (owner == s->processId && std::wstring(className) == L"#32770") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of the box's static controls: its message (and no more, as it has no icon text).
std::wstring BoxText(HWND box)
{
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM context) -> BOOL {
            wchar_t className[64] = {};
            GetClassNameW(child, className, 64);
            if (lstrcmpiW(className, L"Static") != 0) return TRUE;
            wchar_t buffer[1024] = {};
            // The text of another process's control comes through WM_GETTEXT.
            SendMessageTimeoutW(child, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                                nullptr);
            *reinterpret_cast<std::wstring*>(context) += buffer;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

std::wstring WindowTitle(HWND window)
{
    wchar_t buffer[256] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

// A started program that is ended at the latest when the test is over.
class ChildProcess {
public:
    explicit ChildProcess(const std::wstring& path)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + path + L"\"";
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &info_) != FALSE;
    }
    ~ChildProcess()
    {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 10000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

TEST(Varenko, TellsWhyItCannotStartAndEndsWithCodeZeroWhenThePageCannotBeShown)
{
    if (!CanCreateWindows()) GTEST_SKIP() << "no display: windows cannot be created";
    ChildProcess program(ProgramPath());
    ASSERT_TRUE(program.Started()) << Utf16ToUtf8(ProgramPath());

    // The control here loads no document; the program gives up after its load timeout.
    HWND box = nullptr;
    for (int round = 0; round < 600 && !box; ++round) {
        if (WaitForSingleObject(program.Handle(), 100) == WAIT_OBJECT_0) break;
        box = FindMessageBox(program.Id());
    }
    if (!box) {
        DWORD code = 0;
        GetExitCodeProcess(program.Handle(), &code);
        FAIL() << "no message box within a minute; process " << (code == STILL_ACTIVE ? "still runs" : "ended")
               << " (code " << code << ")";
    }
    const std::wstring text = BoxText(box);
    std::cout << "message box: " << Utf16ToUtf8(text) << "\n";
    EXPECT_EQ(text.rfind(L"Varenko cannot start: ", 0), 0u) << Utf16ToUtf8(text);
    EXPECT_EQ(WindowTitle(box), L"Varenko");

    // No main window of the program is left showing behind the message.
    struct Visible {
        DWORD processId;
        HWND box;
        int count;
    } visible{program.Id(), box, 0};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* v = reinterpret_cast<Visible*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == v->processId && window != v->box && IsWindowVisible(window)) ++v->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&visible));
    EXPECT_EQ(visible.count, 0);

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WaitForSingleObject(program.Handle(), 30000), WAIT_OBJECT_0) << "the program must end";
    DWORD code = STILL_ACTIVE;
    ASSERT_TRUE(GetExitCodeProcess(program.Handle(), &code));
    EXPECT_EQ(code, 0u);
}

// The program's file loaded for its resources only.
class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ =
            LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << Utf16ToUtf8(ProgramPath()) << " error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_) FreeLibrary(module_);
    }

    std::string Resource(const wchar_t* name, const wchar_t* type) const
    {
        const HRSRC found = FindResourceW(module_, name, type);
        if (!found) return {};
        const HGLOBAL loaded = LoadResource(module_, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) return {};
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, CarryIconGroup128With32BitImagesOfFiveSizes)
{
    const std::string group = Resource(MAKEINTRESOURCEW(128), RT_GROUP_ICON);
    ASSERT_GE(group.size(), sizeof(IconGroupHeader));
    IconGroupHeader header;
    std::memcpy(&header, group.data(), sizeof header);
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(group.size(), sizeof header + header.count * sizeof(IconGroupEntry));

    std::multiset<int> sizes;
    for (WORD i = 0; i < header.count; ++i) {
        IconGroupEntry entry;
        std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
        const int width = entry.width ? entry.width : 256;
        sizes.insert(width);
        EXPECT_EQ(entry.width, entry.height);
        EXPECT_EQ(entry.bitCount, 32) << width << " pixels";

        // The image itself: a 32-bit bitmap of that size (twice the height, with its mask).
        const std::string image = Resource(MAKEINTRESOURCEW(entry.id), RT_ICON);
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << width << " pixels";
        EXPECT_EQ(image.size(), entry.bytesInResource);
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image.data(), sizeof bitmap);
        EXPECT_EQ(bitmap.biWidth, width);
        EXPECT_EQ(bitmap.biHeight, 2 * width);
        EXPECT_EQ(bitmap.biBitCount, 32);
    }
    EXPECT_EQ(sizes, (std::multiset<int>{64, 48, 32, 24, 16}));

    // The sizes the window asks for load from the group.
    for (const int size : {32, 16}) {
        const HANDLE icon = LoadImageW(module_, MAKEINTRESOURCEW(128), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << size;
        if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
}

TEST_F(ProgramResources, CarryAManifestForAnOrdinaryPerMonitorAwareProcess)
{
    const std::string manifest = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty());
    for (const char* part :
         {"level=\"asInvoker\"", "True/PM", "Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"",
          "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}

TEST_F(ProgramResources, CarryThePageFiles)
{
    EXPECT_FALSE(Resource(PageResourceName(L"index.html").c_str(), RT_RCDATA).empty());
}

bool FileVersion(const std::wstring& path, VS_FIXEDFILEINFO& out)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info || length < sizeof *info)
        return false;
    out = *info;
    return true;
}

TEST(ProgramFile, HasTheSameVersionAsTheConsoleProgram)
{
    VS_FIXEDFILEINFO program{}, console{};
    ASSERT_TRUE(FileVersion(ProgramPath(), program));
    ASSERT_TRUE(FileVersion(BesideTestProgram(L"varenko-cmd.exe"), console));
    EXPECT_EQ(program.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(program.dwFileVersionMS, console.dwFileVersionMS);
    EXPECT_EQ(program.dwFileVersionLS, console.dwFileVersionLS);
    EXPECT_EQ(program.dwProductVersionMS, console.dwProductVersionMS);
    EXPECT_EQ(program.dwProductVersionLS, console.dwProductVersionLS);
    EXPECT_NE(program.dwFileVersionMS | program.dwFileVersionLS, 0u);
}

TEST(ProgramFile, IsAWindowsGuiProgramForX64)
{
    const HANDLE file = CreateFileW(ProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<char> head(4096);
    DWORD read = 0;
    ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, nullptr);
    CloseHandle(file);
    ASSERT_GE(read, sizeof(IMAGE_DOS_HEADER));

    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, head.data(), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_GT(dos.e_lfanew, 0);
    ASSERT_LE(static_cast<size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS64), read);
    IMAGE_NT_HEADERS64 nt;
    std::memcpy(&nt, head.data() + dos.e_lfanew, sizeof nt);
    ASSERT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

} // namespace
