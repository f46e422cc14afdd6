// The save owner on small files: whatever fails, and wherever, the original stays byte for byte as
// it was and nothing is left beside it; a finished save keeps the original's attributes.
#include "platform/FileSave.h"
#include "platform/UniqueHandle.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WriteBudget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kOld = "the original content, byte for byte";
const std::string kNew(3000, 'n');

// Writes kNew in pieces of 100 bytes, as a family's writer would.
bool WriteNew(FileSave& save)
{
    for (size_t at = 0; at < kNew.size(); at += 100) {
        if (!save.WriteAt(at, kNew.data() + at, 100)) return false;
    }
    return true;
}

} // namespace

TEST(SystemPath, NamesExactlyTheFileTheUserNamed)
{
    wchar_t current[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring here = current;
    if (here.back() == L'\\') here.pop_back();
    const struct {
        std::wstring given;
        std::wstring expected;
    } cases[] = {
        {L"C:\\Photos\\t.jpg.", L"\\\\?\\C:\\Photos\\t.jpg."},
        {L"C:\\Photos\\t.jpg ", L"\\\\?\\C:\\Photos\\t.jpg "},
        {L"C:/Photos/./old/../a.jpg", L"\\\\?\\C:\\Photos\\a.jpg"},
        {L"C:\\..\\a.jpg", L"\\\\?\\C:\\a.jpg"},
        {L"\\\\server\\share\\..\\..\\a.mp3", L"\\\\?\\UNC\\server\\share\\a.mp3"},
        {L"\\\\?\\C:\\already\\given.", L"\\\\?\\C:\\already\\given."},
        {L"a.jpg.", L"\\\\?\\" + here + L"\\a.jpg."},
        {L"C:\\" + std::wstring(256, L'a'), L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SystemPath(c.given), c.expected) << c.given.substr(0, 40).c_str();
}

TEST(SystemErrorText, PutsTheSystemsWordsBeforeTheCode)
{
    EXPECT_EQ(SystemErrorText(ERROR_DISK_FULL), L"There is not enough space on the disk (112)");
    // Codes outside the known ones take the system's own words.
    const std::wstring other = SystemErrorText(ERROR_NOT_SUPPORTED);
    EXPECT_GT(other.size(), 6u);
    EXPECT_EQ(other.substr(other.size() - 4), L"(50)");
}

TEST(FileSave, ReplacesTheFileAndKeepsItsAttributesWithNothingLeftBeside)
{
    const DWORD kinds[] = {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE};
    for (const DWORD attributes : kinds) {
        TempDir dir;
        const std::wstring path = dir.MakeFile(L"a.bin", kOld);
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
        // What the file system keeps of them (Wine keeps no not-indexed bit).
        const DWORD kept = GetFileAttributesW(path.c_str());
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::Empty, kNew.size())) << save.Error().c_str();
        ASSERT_TRUE(WriteNew(save));
        ASSERT_TRUE(save.Finish(nullptr)) << save.Error().c_str();
        EXPECT_EQ(ReadAll(path), kNew);
        EXPECT_EQ(GetFileAttributesW(path.c_str()), kept);
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"a.bin"});
    }
}

TEST(FileSave, ChangesACopyOfTheOriginalInPlace)
{
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"song.mp3", kOld);
    FileSave save(path);
    ASSERT_TRUE(save.Begin(FileSave::Start::CopyOfOriginal, kOld.size()));
    EXPECT_EQ(save.IntendedSize(), kOld.size());
    ASSERT_TRUE(save.WriteAt(4, "NEW", 3));
    ASSERT_TRUE(save.Truncate(12));
    ASSERT_TRUE(save.Finish(nullptr));
    EXPECT_EQ(ReadAll(path), "the NEWginal");
}

TEST(FileSave, NamesAFileWithATrailingDotOrOfTheLongestLengthAsGiven)
{
    TempDir dir;
    const std::wstring plain = dir.MakeFile(L"t.jpg", kOld);
    // The \\?\ form makes a name the Win32 parser would have cut.
    const std::wstring dotted = SystemPath(dir.Path() + L"\\t.jpg.");
    {
        const UniqueHandle file(CreateFileW(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
    }
    const std::wstring longest = dir.Path() + L"\\" + std::wstring(251, L'x') + L".jpg";
    {
        const UniqueHandle file(
            CreateFileW(SystemPath(longest).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file.IsValid());
    }
    for (const std::wstring& path : {dotted, longest}) {
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::Empty, kNew.size())) << save.Error().c_str();
        ASSERT_TRUE(WriteNew(save));
        ASSERT_TRUE(save.Finish(nullptr)) << save.Error().c_str();
        EXPECT_EQ(ReadAll(SystemPath(path)), kNew);
    }
    EXPECT_EQ(ReadAll(plain), kOld);
    EXPECT_EQ(FolderNames(dir.Path()).size(), 3u);
}

TEST(FileSave, RefusesWhatItMustNotReplaceWithTheReasonInWords)
{
    TempDir dir;
    const std::wstring readOnly = dir.MakeFile(L"ro.jpg", kOld);
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::wstring folder = dir.MakeFolder(L"sub");
    const struct {
        std::wstring path;
        std::wstring error;
    } cases[] = {
        {readOnly, L"The file is read-only"},
        {folder, L"The path names a folder, not a file"},
        {dir.Path() + L"\\missing.jpg", SystemErrorText(ERROR_FILE_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        FileSave save(c.path);
        EXPECT_FALSE(save.Begin(FileSave::Start::CopyOfOriginal, 10));
        EXPECT_EQ(save.Error(), c.error);
    }
    EXPECT_EQ(ReadAll(readOnly), kOld);
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::wstring>{L"ro.jpg", L"sub"}));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileSave, LeavesTheOriginalAsItWasWhenTheDiskFillsAtAnyByte)
{
    const WriteBudgetReset reset;
    for (const FileSave::Start start : {FileSave::Start::Empty, FileSave::Start::CopyOfOriginal}) {
        const uint64_t total = (start == FileSave::Start::CopyOfOriginal ? kOld.size() : 0) + kNew.size();
        for (uint64_t budget = 0; budget < total; budget += 7) {
            SCOPED_TRACE(testing::Message() << "budget " << budget);
            TempDir dir;
            const std::wstring path = dir.MakeFile(L"a.bin", kOld);
            FileSave::SetWriteBudgetForTests(budget);
            {
                FileSave save(path);
                bool done = save.Begin(start, kNew.size()) && WriteNew(save) && save.Finish(nullptr);
                EXPECT_FALSE(done);
                EXPECT_EQ(save.Error(), SystemErrorText(ERROR_DISK_FULL));
            }
            EXPECT_EQ(ReadAll(path), kOld);
            EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"a.bin"});
        }
    }
}

TEST(FileSave, LeavesTheOriginalAsItWasOnADiskThatReallyFills)
{
    TempDir dir;
    const SmallDisk small(dir);
    if (!small.Mounted()) GTEST_SKIP() << small.Why();
    const std::wstring path = small.Path() + L"\\a.bin";
    {
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), kOld.data(), static_cast<DWORD>(kOld.size()), &written, nullptr));
    }
    ASSERT_TRUE(small.FillLeaving(64 * 1024));
    const std::string big(256 * 1024, 'b');
    // The free space is checked first; and where a writer says less than it writes, the system's
    // own short write fails the save.
    for (const uint64_t said : {static_cast<uint64_t>(big.size()), uint64_t{10}}) {
        SCOPED_TRACE(testing::Message() << "said " << said);
        FileSave save(path);
        const bool done =
            save.Begin(FileSave::Start::Empty, said) && save.WriteAt(0, big.data(), big.size()) && save.Finish(nullptr);
        EXPECT_FALSE(done);
        EXPECT_EQ(save.Error(), SystemErrorText(ERROR_DISK_FULL));
    }
    EXPECT_EQ(ReadAll(path), kOld);
    EXPECT_EQ(FolderNames(small.Path()), (std::vector<std::wstring>{L"a.bin", L"filler"}));
}

TEST(FileSave, LeavesTheOriginalWhenTheFamilysReaderFindsTheNewFileWrong)
{
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"a.bin", kOld);
    {
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::Empty, kNew.size()));
        ASSERT_TRUE(WriteNew(save));
        std::wstring seen;
        EXPECT_FALSE(save.Finish([&](const std::wstring& scratch, std::wstring& why) {
            seen = scratch;
            why = L"the title is missing";
            return false;
        }));
        EXPECT_EQ(save.Error(), L"The new file did not read back as written: the title is missing");
        EXPECT_EQ(ReadAll(seen), kNew) << "the check reads the finished new file";
    }
    EXPECT_EQ(ReadAll(path), kOld);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"a.bin"});
}

TEST(FileSave, NeverReplacesWhatAnotherProgramWroteDuringTheSave)
{
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"a.bin", kOld);
    const std::string theirs = kOld + " and a line another program added";
    {
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::CopyOfOriginal, 0));
        ASSERT_TRUE(save.WriteAt(0, "X", 1));
        {
            const UniqueHandle other(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(other.IsValid());
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(other.Get(), theirs.data(), static_cast<DWORD>(theirs.size()), &written, nullptr));
        }
        EXPECT_FALSE(save.Finish(nullptr));
        EXPECT_EQ(save.Error(),
                  L"The file was changed by another program during the save; it is left as that program wrote it");
    }
    EXPECT_EQ(ReadAll(path), theirs);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"a.bin"});
}

TEST(FileSave, SaysSoWhenTheNewFileIsNotAsLongAsWritten)
{
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"a.bin", kOld);
    {
        FileSave save(path);
        ASSERT_TRUE(save.Begin(FileSave::Start::Empty, kNew.size()));
        ASSERT_TRUE(WriteNew(save));
        // Another writer behind the owner's back, as a library that ignores its own failures.
        LARGE_INTEGER at{};
        at.QuadPart = 10;
        ASSERT_TRUE(SetFilePointerEx(save.ScratchHandle(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(save.ScratchHandle()));
        EXPECT_FALSE(save.Finish(nullptr));
        EXPECT_EQ(save.Error(), L"The new file came out 10 bytes long instead of 3000");
    }
    EXPECT_EQ(ReadAll(path), kOld);
}

TEST(FileSave, RemovesWhatAnInterruptedSaveLeftBehindOnTheNextSaveOrStart)
{
    for (const bool byStart : {false, true}) {
        SCOPED_TRACE(byStart ? "at the next start" : "by the next save");
        TempDir dir;
        const std::wstring path = dir.MakeFile(L"a.bin", kOld);
        std::wstring left;
        {
            UniqueHandle holder;
            FileSave save(path);
            ASSERT_TRUE(save.Begin(FileSave::Start::Empty, kNew.size()));
            ASSERT_TRUE(WriteNew(save));
            left = save.ScratchPath();
            // A second holder keeps the owner from removing its file, as a process killed mid-save
            // would never remove it.
            holder.Reset(CreateFileW(left.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder.IsValid());
            save.CloseScratch();
            const std::vector<std::wstring> during = FolderNames(dir.Path());
            EXPECT_EQ(during.size(), 2u);
            // Held open: neither a start nor another save may take it away.
            CleanUpInterruptedSaves();
            EXPECT_NE(GetFileAttributesW(left.c_str()), INVALID_FILE_ATTRIBUTES);
        }
        ASSERT_NE(GetFileAttributesW(left.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing was left behind";
        const DWORD attributes = GetFileAttributesW(left.c_str());
        EXPECT_EQ(attributes & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
        const std::wstring name = left.substr(left.find_last_of(L'\\') + 1);
        EXPECT_EQ(name.substr(0, 3), L"~vk");
        EXPECT_EQ(name.size(), 15u);
        if (byStart) {
            CleanUpInterruptedSaves();
        } else {
            FileSave next(path);
            ASSERT_TRUE(next.Begin(FileSave::Start::Empty, kNew.size()));
            ASSERT_TRUE(WriteNew(next));
            ASSERT_TRUE(next.Finish(nullptr));
        }
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"a.bin"});
    }
}
