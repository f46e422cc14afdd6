// Saves killed at random points, as a crash or a user's End task would stop them: the console
// program saves a large file and is terminated after a random delay within the time a whole save
// takes. Whenever it stops, the user's path holds the whole old file or the whole new one, as an
// independent reader confirms, and the next start removes what the save left beside it.
#include "platform/FileSave.h"
#include "platform/UniqueHandle.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include "core/TextConvert.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 30;

// Starts varenko-cmd.exe with one request line and ends it after `delay` (or lets it finish when
// the delay is negative); the milliseconds it ran.
double RunAndKill(const std::wstring& request, double delayMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return -1;
    UniqueHandle readEnd(inRead), writeEnd(inWrite);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    const UniqueHandle nul(
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = nul.Get();
    startup.hStdError = nul.Get();
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + BesideTestProgram(L"varenko-cmd.exe") + L"\"";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    readEnd.Reset();
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    const std::string line = Utf16ToUtf8(request) + "\n";
    const auto start = std::chrono::steady_clock::now();
    DWORD written = 0;
    WriteFile(inWrite, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    writeEnd.Reset();
    if (delayMs >= 0 && WaitForSingleObject(process.Get(), static_cast<DWORD>(delayMs)) == WAIT_TIMEOUT)
        TerminateProcess(process.Get(), 9);
    WaitForSingleObject(process.Get(), 120000);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

std::string Exif(const std::wstring& path, const wchar_t* tag)
{
    const ReaderResult reader = RunReader(L"exiftool", {L"-s3", tag, path});
    return reader.exitCode == 0 ? reader.out : "unreadable: " + reader.err;
}

} // namespace

TEST(InterruptedSave, OfALargePhotoLeavesTheWholeOldOrTheWholeNewFile)
{
    if (!RunReader(L"exiftool", {L"-ver"}).found) GTEST_SKIP() << "exiftool is not available here";
    TempDir dir;
    // A photo with 64 MB after its image: every byte of it is copied by a save.
    const std::string photo = ReadAll(FixturePath(L"exif/le.jpg")) + std::string(64u << 20, '\x5A');
    const std::wstring path = dir.MakeFile(L"big photo.jpg", photo);
    const std::wstring request =
        Request(L"setprops")
            .Text(L"filename", path)
            .Text(L"cat", L"exif")
            .Object(L"props",
                    Object().Object(
                        L"exif",
                        Object().Object(L"0x010E", Object().Text(L"type", L"ASCII").Text(L"data", L"After the save"))))
            .Print();

    // One whole save first: its result, and how long a save takes here.
    const double whole = RunAndKill(request, -1);
    ASSERT_GT(whole, 0);
    const std::string saved = ReadAll(path);
    ASSERT_NE(saved, photo);
    ASSERT_EQ(Exif(path, L"-ImageDescription"), "After the save\n");

    std::mt19937 random(20261211);
    int old = 0, fresh = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        const std::string restored = photo;
        {
            const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            ASSERT_TRUE(file.IsValid());
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(file.Get(), restored.data(), static_cast<DWORD>(restored.size()), &written, nullptr));
        }
        RunAndKill(request, std::uniform_real_distribution<double>(0, whole)(random));
        const std::string now = ReadAll(path);
        ASSERT_TRUE(now == photo || now == saved) << "the path holds " << now.size() << " bytes of neither file";
        (now == photo ? old : fresh)++;
        EXPECT_EQ(Exif(path, L"-ImageDescription"), now == saved ? "After the save\n" : "Blue square\n");
        // The next start removes what the killed save left beside the photo.
        CleanUpInterruptedSaves();
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"big photo.jpg"});
    }
    std::printf("%d kills left the old photo, %d the new one\n", old, fresh);
}
