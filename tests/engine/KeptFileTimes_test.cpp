// "setprops" with "keeptimes": real EXIF and media writes on fixture copies, which put a new file
// in the old one's place, and the answers when the times cannot be kept.
#include "engine/CommandEngine.h"
#include "engine/KeptFileTimes.h"
#include "platform/FileSave.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const FILETIME kOldCreated = MakeFileTime(2001, 2, 3, 4, 5, 6);
const FILETIME kOldModified = MakeFileTime(2002, 3, 4, 5, 6, 7);
const wchar_t kWritten[] = L"{\"result\":true,\"error\":\"\"}";

// A write each of the two handlers that replace the file: the EXIF writer and the media writer.
struct Write {
    const char* what;
    const wchar_t* fixture;
    const wchar_t* category;
    JsonObject members;
};

std::vector<Write> Writes()
{
    return {
        {"exif", L"exif/le.jpg", L"exif",
         Object().Object(L"0x013B", Object().Text(L"type", L"ASCII").Text(L"data", L"Kept Times"))},
        {"media", L"media/id3v24.mp3", L"media", Object().Object(L"TIT2", Object().Text(L"data", L"Kept Times"))},
    };
}

JsonObject SetProps(const std::wstring& file, const std::wstring& category, const JsonObject& members)
{
    return Request(L"setprops")
        .Text(L"filename", file)
        .Text(L"cat", category)
        .Object(L"props", Object().Object(category, members));
}

struct Times {
    unsigned long long created = 0;
    unsigned long long modified = 0;
};

Times TimesOf(const std::wstring& path)
{
    FILETIME created{}, accessed{}, written{};
    EXPECT_TRUE(GetTimes(path, created, accessed, written));
    return {Ticks(created), Ticks(written)};
}

// A copy of the fixture with old, known times. Some file systems (Wine's on Linux) keep no creation
// time of their own and report the modified time in its place; keepsCreation says whether this one
// does.
struct OldFile {
    std::wstring path;
    std::string bytes;
    bool keepsCreation = false;
};

// The copy is named stem and the fixture's extension, by which the media writer picks its route.
OldFile OldCopy(const Write& write, const TempDir& dir, const std::wstring& stem)
{
    const std::wstring fixture = write.fixture;
    OldFile file;
    file.path = CopyFixture(fixture, dir, stem + fixture.substr(fixture.rfind(L'.')));
    EXPECT_TRUE(SetTimes(file.path, &kOldCreated, nullptr, &kOldModified));
    file.bytes = ReadAll(file.path);
    file.keepsCreation = TimesOf(file.path).created == Ticks(kOldCreated);
    return file;
}

// Set-back operations for the engine and the unit, recording what they were given.
struct SetBackCall {
    std::wstring fileName;
    Times times;
};
std::vector<SetBackCall> setBackCalls;

DWORD RecordSetBack(const std::wstring& fileName, const FileTimesToKeep& times)
{
    setBackCalls.push_back({fileName, {Ticks(times.created), Ticks(times.modified)}});
    return 0;
}

DWORD RefuseSetBack(const std::wstring& fileName, const FileTimesToKeep& times)
{
    RecordSetBack(fileName, times);
    return ERROR_ACCESS_DENIED;
}

class KeptFileTimesTest : public ::testing::Test {
protected:
    void SetUp() override { setBackCalls.clear(); }

    std::unique_ptr<CommandEngine> engine = std::make_unique<CommandEngine>();
    TempDir dir;
};

} // namespace

TEST_F(KeptFileTimesTest, KeepsTheCreatedAndModifiedTimesOfAFileTheHandlerReplaced)
{
    for (const Write& write : Writes()) {
        SCOPED_TRACE(write.what);
        const OldFile file = OldCopy(write, dir, L"kept");
        EXPECT_EQ(AnswerTo(*engine, SetProps(file.path, write.category, write.members).Bool(L"keeptimes", true)),
                  L"{\"result\":true,\"error\":\"\",\"timeskept\":true}");
        EXPECT_NE(ReadAll(file.path), file.bytes) << "the file was not written";
        const Times after = TimesOf(file.path);
        EXPECT_EQ(after.modified, Ticks(kOldModified));
        if (file.keepsCreation) {
            EXPECT_EQ(after.created, Ticks(kOldCreated));
        }
    }
}

TEST_F(KeptFileTimesTest, LetsTheModifiedTimeMoveUnlessKeepTimesIsTheJsonValueTrue)
{
    const struct {
        const char* what;
        const wchar_t* json; // the member's JSON text; none for a request without it
    } flags[] = {
        {"no member", nullptr}, {"false", L"false"}, {"the text true", L"\"true\""}, {"one", L"1"}, {"null", L"null"},
    };
    int copies = 0;
    for (const Write& write : Writes()) {
        for (const auto& flag : flags) {
            SCOPED_TRACE(std::string(write.what) + ", " + flag.what);
            const OldFile file = OldCopy(write, dir, L"moved" + std::to_wstring(++copies));
            JsonObject request = SetProps(file.path, write.category, write.members);
            if (flag.json) request.Json(L"keeptimes", flag.json);
            EXPECT_EQ(AnswerTo(*engine, request), kWritten);
            EXPECT_NE(TimesOf(file.path).modified, Ticks(kOldModified));
        }
    }
}

TEST_F(KeptFileTimesTest, AnswersAFailedWriteAsWithoutKeepTimesAndSetsNoTimes)
{
    engine = std::make_unique<CommandEngine>(RecordSetBack);
    const std::wstring text = dir.MakeFile(L"text.jpg", "not an image");
    const struct {
        const char* what;
        std::wstring file;
        const wchar_t* category;
        JsonObject members;
    } cases[] = {
        // Times that cannot be read either: still no note, as nothing was written.
        {"a missing image", dir.Path() + L"\\missing.jpg", L"exif", Writes()[0].members},
        {"no items", text, L"exif", Object()},
        {"not an image", text, L"exif", Writes()[0].members},
        {"not a media file", text, L"media", Writes()[1].members},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const JsonObject request = SetProps(c.file, c.category, c.members);
        const std::wstring without = AnswerTo(*engine, request);
        EXPECT_EQ(MemberText(Parsed(without), L"result"), L"false") << Utf16ToUtf8(without);
        EXPECT_EQ(AnswerTo(*engine, JsonObject(request).Bool(L"keeptimes", true)), without);
    }
    EXPECT_TRUE(setBackCalls.empty());
}

TEST_F(KeptFileTimesTest, AnswersTrueWithANoteWhenTheTimesCannotBeSetBack)
{
    engine = std::make_unique<CommandEngine>(RefuseSetBack);
    const Write write = Writes()[0];
    const OldFile file = OldCopy(write, dir, L"refused");
    const Times before = TimesOf(file.path);
    EXPECT_EQ(AnswerTo(*engine, SetProps(file.path, write.category, write.members).Bool(L"keeptimes", true)),
              L"{\"result\":true,\"error\":\"\",\"timeskept\":false,\"timeserror\":\"The file's times could not be "
              L"kept: they could not be set back after the write (error 5)\"}");
    EXPECT_NE(ReadAll(file.path), file.bytes) << "the file was not written";
    ASSERT_EQ(setBackCalls.size(), 1u);
    EXPECT_EQ(setBackCalls[0].fileName, SystemPath(file.path));
    EXPECT_EQ(setBackCalls[0].times.created, before.created);
    EXPECT_EQ(setBackCalls[0].times.modified, before.modified);
}

TEST_F(KeptFileTimesTest, LeavesDateTimeAndAttributeWritesAsTheyAre)
{
    engine = std::make_unique<CommandEngine>(RefuseSetBack);
    const std::wstring file = dir.MakeFile(L"a.txt");
    const JsonObject times = Object().Text(L"modifytime", L"2020:01:31 13:45:00");
    const JsonObject datetime = Request(L"setprops")
                                    .Text(L"filename", file)
                                    .Text(L"cat", L"datetime")
                                    .Object(L"props", times)
                                    .Bool(L"keeptimes", true);
    EXPECT_EQ(AnswerTo(*engine, datetime), kWritten);
    EXPECT_EQ(MemberText(Parsed(AnswerTo(*engine, Request(L"getprops").Text(L"name", file))), L"modifytime"),
              L"2020:01:31 13:45:00");
    const JsonObject attributes = Request(L"setprops")
                                      .Text(L"filename", file)
                                      .Text(L"cat", L"attributes")
                                      .Object(L"props", Object().Text(L"attributes", L"A"))
                                      .Bool(L"keeptimes", true);
    EXPECT_EQ(AnswerTo(*engine, attributes), kWritten);
    EXPECT_TRUE(setBackCalls.empty());
}

TEST(KeptFileTimes, SaysWhichStepFailed)
{
    const TempDir dir;
    const std::wstring file = dir.MakeFile(L"a.txt");
    const std::wstring refused =
        L"The file's times could not be kept: they could not be set back after the write (error 5)";
    const struct {
        const char* what;
        std::wstring file;
        SetFileTimesBackFunction setBack;
        std::wstring expected;
    } cases[] = {
        {"kept", file, RecordSetBack, L""},
        {"not set back", file, RefuseSetBack, refused},
        {"not read", dir.Path() + L"\\missing.txt", RecordSetBack,
         L"The file's times could not be kept: they could not be read before the write (error 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const KeptFileTimes kept(c.file);
        EXPECT_EQ(kept.SetBack(c.setBack), c.expected);
    }
}

TEST(KeptFileTimes, SetsBothTimesBackOnTheFileAtThePathAndLeavesItsAccessTimeAlone)
{
    const TempDir dir;
    const std::wstring file = dir.MakeFile(L"a.txt");
    const FILETIME accessed = MakeFileTime(2003, 4, 5, 6, 7, 8);
    ASSERT_TRUE(SetTimes(file, &kOldCreated, &accessed, &kOldModified));
    const bool keepsCreation = TimesOf(file).created == Ticks(kOldCreated);
    const KeptFileTimes kept(file);
    // A new file in the old one's place, as the EXIF and media writers leave it.
    ASSERT_TRUE(DeleteFileW(file.c_str()));
    dir.MakeFile(L"a.txt", "new");
    ASSERT_TRUE(SetTimes(file, nullptr, &accessed, nullptr));
    EXPECT_EQ(kept.SetBack(), L"");
    FILETIME created{}, accessedNow{}, written{};
    ASSERT_TRUE(GetTimes(file, created, accessedNow, written));
    EXPECT_EQ(Ticks(written), Ticks(kOldModified));
    EXPECT_EQ(Ticks(accessedNow), Ticks(accessed));
    if (keepsCreation) {
        EXPECT_EQ(Ticks(created), Ticks(kOldCreated));
    }
}
