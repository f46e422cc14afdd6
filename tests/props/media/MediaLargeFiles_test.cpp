// Media writes on large files: a sparse file past 2 GiB whose tag grows, so that the library moves
// the data past 2 GiB, and a 100 MB file whose write is killed at random points, after each of
// which the path must hold the whole old file or the whole new one. Every result is read by
// mutagen and ffmpeg; bytes moved are compared with the bytes that were there.
#include "props/media/MediaProps.h"
#include "platform/FileSave.h"
#include "core/TextConvert.h"
#include "tests/props/media/MediaChecks.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

// The ID3v2 tag at the start of a file's bytes, header included; 0 without one.
size_t Id3v2Size(const std::string& bytes)
{
    if (bytes.size() < 10 || bytes.compare(0, 3, "ID3") != 0) return 0;
    return 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
}

std::string ReadRange(const std::wstring& path, uint64_t offset, size_t count)
{
    std::string bytes(count, '\0');
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    const bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                    ReadFile(file, &bytes[0], static_cast<DWORD>(count), &read, nullptr);
    CloseHandle(file);
    bytes.resize(ok ? read : 0);
    return bytes;
}

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string Pattern(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    std::mt19937 random(seed);
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

} // namespace

TEST(MediaLargeFiles, MoveTheDataPast2GiBIntactWhenTheTagGrows)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/id3v23.mp3", dir, L"big.mp3");
    const MutagenView before = ReadWithMutagen(path);
    if (!before.found) GTEST_SKIP() << before.missing;
    // Sparse up to past 2 GiB, with a region of known bytes there.
    const uint64_t regionAt = (2ull << 30) + (3u << 20);
    const std::string region = Pattern(1 << 20, 7);
    {
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(regionAt);
        DWORD wrote = 0;
        const bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                        WriteFile(file, region.data(), static_cast<DWORD>(region.size()), &wrote, nullptr) &&
                        wrote == region.size();
        CloseHandle(file);
        ASSERT_TRUE(ok) << "cannot make the large file (error " << GetLastError() << ")";
    }
    const uint64_t sizeBefore = SizeOf(path);
    const size_t tagBefore = Id3v2Size(ReadRange(path, 0, 10));

    MediaProps handler;
    std::wstring error;
    const std::wstring title(3000, L'G');
    const JsonObject request = Object().Object(L"TIT2", Object().Text(L"data", title));
    ASSERT_TRUE(handler.SetProps(path, request.Document().View(), error)) << Utf16ToUtf8(error);

    const size_t tagAfter = Id3v2Size(ReadRange(path, 0, 10));
    ASSERT_GT(tagAfter, tagBefore) << "the tag did not grow, so nothing was moved";
    const uint64_t moved = tagAfter - tagBefore;
    // The save adds an ID3v1 tag at the end, 128 bytes past the data.
    EXPECT_EQ(SizeOf(path), sizeBefore + moved + 128);
    EXPECT_EQ(ReadRange(path, sizeBefore + moved, 3), "TAG");
    EXPECT_TRUE(ReadRange(path, regionAt + moved, region.size()) == region) << "the bytes past 2 GiB changed";
    MutagenView after = ReadWithMutagen(path);
    EXPECT_EQ(after.tags[L"TIT2"], std::vector<std::wstring>{title});
    EXPECT_EQ(after.version, L"2.3.0");
}

TEST(MediaLargeFiles, HoldTheWholeOldOrTheWholeNewFileWhereverAWriteIsKilled)
{
    // 100 MB of MPEG frames (the fixture's, over and over) behind an ID3v2.3 tag.
    const TempDir dir;
    const std::string tagged = ReadAll(FixturePath(L"media/id3v23.mp3"));
    const std::string frames = ReadAll(FixturePath(L"media/plain.mp3"));
    ASSERT_GT(frames.size(), 0u);
    std::string bytes = tagged.substr(0, Id3v2Size(tagged));
    bytes.reserve(bytes.size() + (100u << 20) + frames.size());
    while (bytes.size() < (100u << 20))
        bytes += frames;
    const std::wstring path = dir.MakeFile(L"long.mp3", bytes);
    bytes.clear();
    bytes.shrink_to_fit();
    std::string missing;
    const std::string audio = AudioDigest(path, missing);
    if (audio.empty()) GTEST_SKIP() << missing;
    MutagenView first = ReadWithMutagen(path);
    if (!first.found) GTEST_SKIP() << first.missing;
    std::wstring stored = first.tags[L"TIT2"].at(0);

    // Each run sends a title longer than the last, so that the tag grows and the audio moves.
    const auto request = [&](int run) {
        const std::wstring title = L"Run " + std::to_wstring(run) + L" " + std::wstring(40 * run, L'r');
        return std::make_pair(
            title, Request(L"setprops")
                           .Text(L"filename", path)
                           .Text(L"cat", L"media")
                           .Object(L"props",
                                   Object().Object(L"media", Object().Object(L"TIT2", Object().Text(L"data", title))))
                           .Utf8() +
                       "\n");
    };
    // Starts the console program on one request; killed after `delay`, or left to end.
    const auto run = [&](const std::string& input, std::chrono::milliseconds delay, bool kill) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
        SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
        const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = readEnd;
        startup.hStdOutput = nul;
        startup.hStdError = nul;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + BesideTestProgram(L"varenko-cmd.exe") + L"\"";
        const BOOL started =
            CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
        CloseHandle(readEnd);
        CloseHandle(nul);
        EXPECT_TRUE(started) << "cannot start varenko-cmd.exe (error " << GetLastError() << ")";
        if (!started) {
            CloseHandle(writeEnd);
            return;
        }
        DWORD wrote = 0;
        WriteFile(writeEnd, input.data(), static_cast<DWORD>(input.size()), &wrote, nullptr);
        CloseHandle(writeEnd);
        if (kill && WaitForSingleObject(info.hProcess, static_cast<DWORD>(delay.count())) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 9);
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    };

    // One whole write first, to know how long one takes.
    const auto start = std::chrono::steady_clock::now();
    const auto [firstTitle, firstInput] = request(1);
    run(firstInput, {}, false);
    const auto whole = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    MutagenView written = ReadWithMutagen(path);
    ASSERT_EQ(written.tags[L"TIT2"], std::vector<std::wstring>{firstTitle}) << "a write that is not killed succeeds";
    stored = firstTitle;

    const unsigned seed = static_cast<unsigned>(std::random_device()());
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> delays(0, whole.count() * 6 / 5);
    int completed = 0;
    for (int attempt = 2; attempt < 32; ++attempt) {
        const auto [title, input] = request(attempt);
        const std::chrono::milliseconds delay(delays(random));
        SCOPED_TRACE("seed " + std::to_string(seed) + ", run " + std::to_string(attempt) + ", killed after " +
                     std::to_string(delay.count()) + " ms of about " + std::to_string(whole.count()));
        run(input, delay, true);

        const MutagenView now = ReadWithMutagen(path);
        ASSERT_TRUE(now.found) << "the path holds no file mutagen can read";
        const auto value = now.tags.find(L"TIT2");
        ASSERT_NE(value, now.tags.end()) << Describe(now.tags);
        ASSERT_EQ(value->second.size(), 1u);
        ASSERT_TRUE(value->second[0] == stored || value->second[0] == title)
            << "the title is neither the old nor the new one: " << Utf16ToUtf8(value->second[0]);
        EXPECT_EQ(AudioDigest(path, missing), audio) << "the audio changed";
        if (value->second[0] == title) ++completed;
        stored = value->second[0];
        // A killed save leaves its scratch file; the next start removes it.
        CleanUpInterruptedSaves();
        EXPECT_EQ(ScratchFilesIn(dir.Path()), std::vector<std::wstring>{});
    }
    std::printf("%d of 30 killed writes had finished, %d had not (one write took %lld ms)\n", completed, 30 - completed,
                static_cast<long long>(whole.count()));
}
