// The "avi" handler on real files: fixtures made by ffmpeg, larger files ffmpeg makes during the
// test, and a sparse OpenDML file past 1 GB. Every write is checked with readers that are not
// ours: ffprobe still decodes every frame, exiftool reads exactly the items written, and nothing
// but the INFO list, JUNK and the RIFF size changed.
#include "props/avi/AVIFileProp.h"
#include "platform/FileSave.h"
#include "tests/props/avi/AviTestFiles.h"
#include "tests/support/Requests.h"
#include "tests/support/WriteBudget.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// What the page knows, less ISBJ, which the tests use as an identifier the list does not know.
const wchar_t* const kPropList =
    LR"({"INAM":{"name":"Title"},"IART":{"name":"Artist"},"ICMT":{"name":"Comments"},"ICOP":{"name":"Copyright"},)"
    LR"("ICRD":{"name":"Creation date"},"IGNR":{"name":"Genre"},"ISFT":{"name":"Software"},"IKEY":{"name":"Keywords"}})";

const wchar_t* const kFfmpegItems =
    LR"({"IART":{"name":"Artist","data":"Anna"},"ICMT":{"name":"Comments","data":"Made for tests"},)"
    LR"("ICOP":{"name":"Copyright","data":"Example Studio"},"ICRD":{"name":"Creation date","data":"2021"},)"
    LR"("IGNR":{"name":"Genre","data":"Documentary"},"INAM":{"name":"Title","data":"Movie"}})";

JsonObject Item(const std::wstring& text)
{
    return Object().Text(L"data", text);
}

// The request's items and what exiftool must then read.
JsonObject Items(const InfoItems& items)
{
    JsonObject request;
    for (const auto& item : items)
        request.Object(Utf8ToUtf16(item.first), Item(Utf8ToUtf16(item.second)));
    return request;
}

const InfoItems kShortList = {{"INAM", "New title"}, {"IART", "Ben"}};
const InfoItems kLongList = {{"INAM", "A title long enough to outgrow the room of the old list"},
                             {"ICMT", std::string(200, 'c')},
                             {"ISFT", "Varenko"}};

#define SKIP_WITHOUT_READERS()                                                                                         \
    do {                                                                                                               \
        std::string missing;                                                                                           \
        if (!ReadersPresent(missing)) GTEST_SKIP() << missing;                                                         \
    } while (false)

class AviHandler : public ::testing::Test {
protected:
    void SetUp() override { handler.SetPropList(kPropList); }

    std::wstring Read(const std::wstring& path)
    {
        JsonWrapper result;
        handler.GetProps(path, result);
        return result.Print();
    }

    bool Write(const std::wstring& path, const JsonObject& items, std::wstring& error)
    {
        return handler.SetProps(path, items.Document().View(), error);
    }

    // Writes items that must be written, and runs every check of a write.
    void WriteAndCheck(const std::wstring& path, const InfoItems& items)
    {
        const AviBefore before = Capture(path);
        std::wstring error;
        ASSERT_TRUE(Write(path, Items(items), error)) << Utf16ToUtf8(error);
        EXPECT_EQ(error, L"");
        ExpectWritten(path, before, items);
    }

    // The content of the file's INFO list, as the bytes stand in the file.
    std::string ListBytes(const std::wstring& path)
    {
        for (const TopChunk& chunk : WalkAvi(path).chunks) {
            if (chunk.IsInfoList()) return ReadRange(path, chunk.offset + 8, chunk.size);
        }
        return "<no INFO list>";
    }

    AVIFileProp handler;
    TempDir dir;
};

struct ReadCase {
    const char* name;
    const wchar_t* fixture;
    const wchar_t* expected;
};

// Failures name the case, not its bytes.
void PrintTo(const ReadCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadingAnAviFixture : public AviHandler, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadingAnAviFixture, GivesEachKnownItemInFileOrderAsTheListEntryWithItsText)
{
    const std::wstring path = CopyFixture(GetParam().fixture, dir);
    EXPECT_EQ(Read(path), GetParam().expected);
}

// ffmpeg counts the terminating zero in an item's size and pads only odd sizes, so INAM "Movie"
// has the size 6 and no pad byte: every item is read by its size.
const ReadCase kReadCases[] = {
    {"ffmpeg_list_with_even_sizes_and_no_pad", L"avi/info.avi", kFfmpegItems},
    {"ffmpeg_list_followed_by_junk", L"avi/info-junk.avi", kFfmpegItems},
    {"ffmpeg_list_before_a_byte_pattern_in_the_movie", L"avi/info-pattern.avi",
     LR"({"IART":{"name":"Artist","data":"Anna"},"INAM":{"name":"Title","data":"Movie"}})"},
    {"file_without_a_list", L"avi/plain.avi", L"{}"},
    {"file_that_is_no_avi", L"exif/le.jpg", L"{}"},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, ReadingAnAviFixture, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST_F(AviHandler, ReadsNothingFromAFileThatDoesNotExist)
{
    EXPECT_EQ(Read(dir.Path() + L"\\missing.avi"), L"{}");
}

TEST_F(AviHandler, WritesEachItemWithAnOddSizeItsZerosAndAPadByte)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/plain.avi", dir);
    WriteAndCheck(path, {{"INAM", "Movie"}, {"ICMT", "A comment"}, {"ISFT", "Anna"}, {"IKEY", std::string(300, 'k')}});
    using namespace std::string_literals;
    EXPECT_EQ(ListBytes(path), "INFO"
                               "INAM\x07\0\0\0Movie\0\0\0"
                               "ICMT\x0b\0\0\0A comment\0\0\0"
                               "ISFT\x05\0\0\0Anna\0\0"
                               "IKEY\x2d\x01\0\0"s +
                                   std::string(300, 'k') + "\0\0"s);
    EXPECT_EQ(Read(path), LR"({"INAM":{"name":"Title","data":"Movie"},"ICMT":{"name":"Comments","data":"A comment"},)"
                          LR"("ISFT":{"name":"Software","data":"Anna"},"IKEY":{"name":"Keywords","data":")" +
                              std::wstring(300, L'k') + L"\"}}");
}

TEST_F(AviHandler, LeavesOutItemsTheListDoesNotKnowAndGivesAnItemTwiceAsTwoMembers)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/plain.avi", dir);
    WriteAndCheck(path, {{"INAM", "One"}, {"ISBJ", "Not in the list"}, {"INAM", "Two"}, {"iart", "Lower case"}});
    EXPECT_EQ(Read(path), LR"({"INAM":{"name":"Title","data":"One"},"INAM":{"name":"Title","data":"Two"},)"
                          LR"("iart":{"name":"Artist","data":"Lower case"}})");
}

TEST_F(AviHandler, ReadsOnlyTheFirst4096BytesOfTheList)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/plain.avi", dir);
    // INAM ends at byte 4096 of the list, IART starts after it.
    const std::string comment(4096 - 4 - 8 - 2 - 14, 'c');
    WriteAndCheck(path, {{"ICMT", comment}, {"INAM", "Last"}, {"IART", "Beyond"}});
    EXPECT_EQ(Read(path), LR"({"ICMT":{"name":"Comments","data":")" + Utf8ToUtf16(comment) +
                              LR"("},"INAM":{"name":"Title","data":"Last"}})");
}

TEST_F(AviHandler, WritesTextBeyondAsciiAsUtf8AndNumbersAsTheirDigits)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/info-junk.avi", dir);
    const AviBefore before = Capture(path);
    std::wstring error;
    ASSERT_TRUE(Write(path,
                      Object()
                          .Object(L"INAM", Item(L"Caf\u00e9 \u4e2d"))
                          .Object(L"ICRD", Object().Number(L"data", 2021))
                          .Object(L"ICMT", Object().Bool(L"data", true)),
                      error))
        << Utf16ToUtf8(error);
    ExpectWritten(path, before, {{"INAM", "Caf\xc3\xa9 \xe4\xb8\xad"}, {"ICRD", "2021"}, {"ICMT", "true"}});
    EXPECT_EQ(Read(path),
              L"{\"INAM\":{\"name\":\"Title\",\"data\":\"Caf\u00e9 \u4e2d\"},"
              LR"("ICRD":{"name":"Creation date","data":"2021"},"ICMT":{"name":"Comments","data":"true"}})");
}

TEST_F(AviHandler, WritesNeitherReadOnlyMembersNorEmptyTextsAndKeepsNothingOfTheOldList)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/info.avi", dir);
    const AviBefore before = Capture(path);
    std::wstring error;
    ASSERT_TRUE(Write(path,
                      Object()
                          .Object(L"INAM", Item(L"Read-only").Bool(L"readonly", true))
                          .Object(L"IART", Item(L""))
                          .Object(L"IGNR", Object().Json(L"data", L"null"))
                          .Object(L"ICMT", Item(L"Kept").Text(L"readonly", L"true"))
                          .Object(L"ICOP", Item(L"Also kept").Bool(L"readonly", false)),
                      error));
    ExpectWritten(path, before, {{"ICMT", "Kept"}, {"ICOP", "Also kept"}});
    // The old texts are not left behind in the JUNK either.
    const std::string bytes = ReadAll(path);
    for (const char* old : {"Movie", "Documentary", "Made for tests"})
        EXPECT_EQ(bytes.find(old), std::string::npos) << old;
}

// The page shows only the items its list knows and sends those back: the others must survive.
TEST_F(AviHandler, KeepsItemsTheListDoesNotKnowAsTheyWereStoredUnlessTheRequestNamesThem)
{
    SKIP_WITHOUT_READERS();
    handler.SetPropList(LR"({"INAM":{"name":"Title"},"IART":{"name":"Artist"}})");
    const std::wstring path = CopyFixture(L"avi/info.avi", dir);
    const std::string old = ListBytes(path);
    const AviBefore before = Capture(path);
    std::wstring error;
    ASSERT_TRUE(Write(path, Object().Object(L"INAM", Item(L"New")).Object(L"icop", Item(L"")), error));
    ExpectWritten(path, before,
                  {{"INAM", "New"}, {"ICMT", "Made for tests"}, {"ICRD", "2021"}, {"IGNR", "Documentary"}});
    // INAM "New", then ffmpeg's own items as they were: ICMT, ICRD and IGNR.
    using namespace std::string_literals;
    const auto item = [&old](const std::string& id) {
        const size_t at = old.find(id);
        const size_t size = static_cast<uint8_t>(old[at + 4]);
        return old.substr(at, 8 + size + size % 2);
    };
    EXPECT_EQ(ListBytes(path), "INFO"
                               "INAM\x05\0\0\0New\0\0\0"s +
                                   item("ICMT") + item("ICRD") + item("IGNR"));
    EXPECT_EQ(Read(path), LR"({"INAM":{"name":"Title","data":"New"}})");
}

TEST_F(AviHandler, StoresNoListWhenNoMemberIsWritten)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = CopyFixture(L"avi/info.avi", dir);
    const AviBefore before = Capture(path);
    const uint64_t size = FileSize(path);
    std::wstring error;
    ASSERT_TRUE(
        Write(path, Object().Object(L"INAM", Item(L"x").Bool(L"readonly", true)).Object(L"IART", Item(L"")), error));
    ExpectWritten(path, before, {});
    EXPECT_EQ(FileSize(path), size);
    EXPECT_EQ(Read(path), L"{}");
}

// Where a new list goes, on each fixture: the file keeps its size when the list takes the room of
// the old one and the JUNK beside it, and grows when the list goes to the end.
struct WriteCase {
    const char* name;
    const wchar_t* fixture;
    InfoItems items;
    bool sameSize;
};

void PrintTo(const WriteCase& c, std::ostream* out)
{
    *out << c.name;
}

class WritingAnAviFixture : public AviHandler, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WritingAnAviFixture, ReplacesTheListWhereItFitsAndChangesNothingElse)
{
    SKIP_WITHOUT_READERS();
    const WriteCase& c = GetParam();
    const std::wstring path = CopyFixture(c.fixture, dir);
    const uint64_t size = FileSize(path);
    WriteAndCheck(path, c.items);
    EXPECT_EQ(FileSize(path) == size, c.sameSize) << FileSize(path) << " bytes, " << size << " before";
    // The next write finds the list where this one put it and leaves a single list again.
    WriteAndCheck(path, kShortList);
}

const WriteCase kWriteCases[] = {
    {"shorter_list_in_the_old_room", L"avi/info.avi", kShortList, true},
    {"longer_list_at_the_end", L"avi/info.avi", kLongList, false},
    {"longer_list_in_the_old_room_and_the_junk_after_it", L"avi/info-junk.avi", kLongList, true},
    {"list_larger_than_the_room_and_the_junk", L"avi/info-junk.avi", {{"ICMT", std::string(600, 'c')}}, false},
    {"first_list_at_the_end", L"avi/plain.avi", kShortList, false},
    // The header of a list spelt by the audio samples is movie data, however close to the end.
    {"list_before_a_byte_pattern_in_the_movie", L"avi/info-pattern.avi", {{"INAM", "Film"}}, true},
    {"no_list_at_all_before_a_byte_pattern_in_the_movie", L"avi/info-pattern.avi", {}, true},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, WritingAnAviFixture, ::testing::ValuesIn(kWriteCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

// Requests that cannot be written leave the file as it was and say why.
struct RefusedCase {
    const char* name;
    const wchar_t* fixture; // null: a file that does not exist
    std::wstring request;
    std::wstring error;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class RefusingAWrite : public AviHandler, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusingAWrite, LeavesTheFileAsItWasAndSaysWhy)
{
    const RefusedCase& c = GetParam();
    const std::wstring path = c.fixture ? CopyFixture(c.fixture, dir, L"file.avi") : dir.Path() + L"\\missing.avi";
    const std::string bytes = ReadAll(path);
    const JsonWrapper request = Parsed(c.request);
    std::wstring error = L"left from before";
    EXPECT_FALSE(handler.SetProps(path, request.Member(L"avi"), error));
    EXPECT_EQ(error, c.error);
    EXPECT_TRUE(ReadAll(path) == bytes) << "the file changed";
}

const RefusedCase kRefusedCases[] = {
    {"file_that_does_not_exist", nullptr, LR"({"avi":{"INAM":{"data":"x"}}})",
     L"set avi property failed, hr=0x80070002 (The system cannot find the file specified (2))"},
    {"file_that_is_no_avi", L"exif/le.jpg", LR"({"avi":{"INAM":{"data":"x"}}})",
     L"set avi property failed, hr=0x80044066"},
    {"identifier_of_five_letters", L"avi/info.avi", LR"({"avi":{"INAM":{"data":"x"},"TITLE":{"data":"y"}}})",
     L"set avi property failed: \"TITLE\" is not a four-character INFO identifier"},
    {"request_without_items", L"avi/info.avi", LR"({"doc":{}})",
     L"set avi property failed: the request holds no object of INFO items"},
    {"items_in_a_list_not_an_object", L"avi/info.avi", LR"({"avi":[{"data":"x"}]})",
     L"set avi property failed: the request holds no object of INFO items"},
};

INSTANTIATE_TEST_SUITE_P(Requests, RefusingAWrite, ::testing::ValuesIn(kRefusedCases),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST_F(AviHandler, RefusesAReadOnlyFileAndLeavesItAsItWas)
{
    const std::wstring path = CopyFixture(L"avi/info-junk.avi", dir);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string bytes = ReadAll(path);
    std::wstring error;
    EXPECT_FALSE(Write(path, Items(kShortList), error));
    EXPECT_EQ(error, L"The file is read-only");
    EXPECT_TRUE(ReadAll(path) == bytes);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A store that the disk cannot take, at any byte of its growth, puts back every byte it changed and
// the old length: no reader ever sees half a list.
TEST_F(AviHandler, PutsTheFileBackByteForByteWhenAWriteFailsAtAnyPoint)
{
    const WriteBudgetReset reset;
    const struct {
        const wchar_t* fixture;
        InfoItems items;
    } cases[] = {
        {L"avi/info.avi", kLongList},   // at the end of the file
        {L"avi/plain.avi", kShortList}, // a new list at the end
    };
    for (const auto& c : cases) {
        const std::wstring path = CopyFixture(c.fixture, dir, L"budget.avi");
        const std::string bytes = ReadAll(path);
        for (uint64_t budget = 0; budget < 2048; budget += 7) {
            SCOPED_TRACE(testing::Message() << Utf16ToUtf8(c.fixture) << ", budget " << budget);
            FileSave::SetWriteBudgetForTests(budget);
            std::wstring error;
            const bool written = Write(path, Items(c.items), error);
            FileSave::SetWriteBudgetForTests(std::nullopt);
            if (written) break; // the whole store fitted in the budget
            EXPECT_NE(error.find(L"(There is not enough space on the disk (112))"), std::wstring::npos)
                << Utf16ToUtf8(error);
            ASSERT_TRUE(ReadAll(path) == bytes) << "the file changed";
        }
    }
}

TEST_F(AviHandler, RefusesToWriteAFileCutShortAndLeavesItAsItWas)
{
    const std::wstring path = dir.MakeFile(L"cut.avi", ReadAll(FixturePath(L"avi/info.avi")).substr(0, 1000));
    std::wstring error;
    EXPECT_FALSE(Write(path, Items(kShortList), error));
    EXPECT_EQ(error, L"set avi property failed, hr=0x80044066");
    EXPECT_TRUE(ReadAll(path) == ReadAll(FixturePath(L"avi/info.avi")).substr(0, 1000));
    // Its list, before the cut, is still read.
    EXPECT_EQ(Read(path), kFfmpegItems);
}

// Files of some megabytes as ffmpeg writes them by default (its INFO list followed by 1016 bytes
// of JUNK), and without metadata or JUNK.
TEST_F(AviHandler, WritesLargerFilesMadeByFfmpegWithAndWithoutAList)
{
    SKIP_WITHOUT_READERS();
    struct Made {
        const wchar_t* name;
        std::vector<std::wstring> options;
        bool sameSize;
    };
    const Made made[] = {
        {L"default.avi", {L"-metadata", L"title=Clip", L"-metadata", L"artist=Anna"}, true},
        {L"bare.avi", {L"-map_metadata", L"-1", L"-metadata_header_padding", L"0"}, false},
    };
    for (const Made& m : made) {
        SCOPED_TRACE(Utf16ToUtf8(m.name));
        const std::wstring path = dir.Path() + L"\\" + m.name;
        std::vector<std::wstring> args = {
            L"-v",        L"error", L"-nostdin", L"-f",    L"lavfi", L"-i", L"testsrc=size=640x360:rate=25",
            L"-frames:v", L"150",   L"-c:v",     L"mjpeg", L"-q:v",  L"2",  L"-fflags",
            L"+bitexact"};
        args.insert(args.end(), m.options.begin(), m.options.end());
        args.push_back(path);
        const ReaderResult ffmpeg = RunReader(L"ffmpeg", args);
        if (!ffmpeg.found) GTEST_SKIP() << ffmpeg.missing;
        ASSERT_EQ(ffmpeg.exitCode, 0) << ffmpeg.err;
        const uint64_t size = FileSize(path);
        ASSERT_GT(size, uint64_t{2} << 20);
        WriteAndCheck(path, kLongList);
        EXPECT_EQ(FileSize(path) == size, m.sameSize);
        EXPECT_EQ(DecodedFrames(path), "150\n");
    }
}

// An OpenDML file: its list is rewritten where it stands, and the movie data, a gigabyte of it
// and a second RIFF after the first, stays where it is.
TEST_F(AviHandler, WritesAnOpenDmlFilePastOneGigabyteWithoutMovingTheMovieData)
{
    SKIP_WITHOUT_READERS();
    const std::wstring path = dir.Path() + L"\\large.avi";
    MakeSparseOpenDml(path);
    const uint64_t size = FileSize(path);
    ASSERT_GT(size, uint64_t{1} << 30);
    EXPECT_EQ(Read(path), LR"({"INAM":{"name":"Title","data":"Big"},"IART":{"name":"Artist","data":"Anna"}})");

    WriteAndCheck(path, kLongList);
    EXPECT_EQ(FileSize(path), size);

    // A list larger than the room before the movie data cannot go to the end of the first RIFF:
    // the second RIFF follows it.
    const std::string head = ReadRange(path, 0, 4096);
    std::wstring error;
    EXPECT_FALSE(Write(path, Items({{"ICMT", std::string(2000, 'c')}}), error));
    EXPECT_EQ(error, L"set avi property failed, hr=0x80044065");
    EXPECT_TRUE(ReadRange(path, 0, 4096) == head) << "the refused write changed the file";
    EXPECT_EQ(FileSize(path), size);
}

} // namespace
