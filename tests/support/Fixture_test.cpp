// The fixtures reach a test's folder unchanged, and the independent readers run from inside a test
// program: the arguments arrive intact, the output comes back, and each reader reports what the
// fixtures of its category hold.
#include "tests/support/Fixture.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The files below tests/data/<category>, as paths relative to tests/data; the notes are no fixtures.
std::vector<std::wstring> FixturesIn(const std::wstring& category)
{
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((FixturePath(category) + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return out;
    do {
        const std::wstring name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY || name == L"README.md") continue;
        out.push_back(category + L"/" + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return out;
}

std::string TrimmedLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// The text at a path of member names and array positions ("0") in a reader's JSON output;
// "<missing>" when the path leads nowhere.
std::string JsonTextAt(const std::string& json, const std::vector<std::wstring>& path)
{
    JsonWrapper document;
    if (!document.Parse(Utf8ToUtf16(json))) return "<not JSON>";
    JsonView at = document.View();
    for (const std::wstring& part : path) {
        if (at.IsArray()) {
            int index = std::stoi(part);
            JsonView item;
            for (const JsonView element : at) {
                if (index-- == 0) item = element;
            }
            at = item;
        } else {
            at = at.Member(part);
        }
        if (at.IsEmpty()) return "<missing>";
    }
    std::wstring text;
    return at.GetText(text) ? Utf16ToUtf8(text) : "<not text>";
}

TEST(Fixtures, CopyIntoTheTestFolderByteForByteInEveryCategory)
{
    for (const wchar_t* category : {L"doc", L"exif", L"media", L"avi"}) {
        SCOPED_TRACE(Utf16ToUtf8(category));
        const std::vector<std::wstring> fixtures = FixturesIn(category);
        ASSERT_FALSE(fixtures.empty()) << "no fixtures below " << Utf16ToUtf8(FixturePath(category));
        const TempDir dir;
        for (const std::wstring& fixture : fixtures) {
            SCOPED_TRACE(Utf16ToUtf8(fixture));
            const std::string source = ReadAll(FixturePath(fixture));
            ASSERT_FALSE(source.empty());
            const std::wstring copy = CopyFixture(fixture, dir);
            EXPECT_EQ(copy, dir.Path() + L"\\" + fixture.substr(fixture.find(L'/') + 1));
            EXPECT_TRUE(ReadAll(copy) == source) << "the copy differs from the fixture";
        }
    }
}

TEST(Fixtures, CopyUnderAGivenNameAgainOverAnEarlierCopyAndStayWritable)
{
    const TempDir dir;
    const std::wstring first = CopyFixture(L"exif/le.jpg", dir, L"photo.jpg");
    const std::wstring second = CopyFixture(L"exif/be.jpg", dir, L"photo.jpg");
    EXPECT_EQ(first, dir.Path() + L"\\photo.jpg");
    EXPECT_EQ(second, first);
    EXPECT_TRUE(ReadAll(second) == ReadAll(FixturePath(L"exif/be.jpg")));
    const HANDLE file = CreateFileW(second.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "the copy cannot be opened for writing";
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

TEST(Fixtures, ThatDoNotExistThrowNamingTheFixture)
{
    const TempDir dir;
    try {
        CopyFixture(L"exif/no-such-file.jpg", dir);
        FAIL() << "copying a missing fixture did not throw";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("no-such-file.jpg"), std::string::npos) << error.what();
    }
}

TEST(Readers, GetEveryArgumentAsItWasAndGiveBackOutputErrorsAndExitCode)
{
    const ReaderResult run = RunReader(L"sh", {L"-c", L"printf '%s|' \"$@\"; echo 'to err' >&2; exit 3", L"sh", L"a\\b",
                                               L"c d", L"e\"f", L"", L"tail\\", L"\\\\\"q", L"caf\u00e9 \u4e2d"});
    if (!run.found) GTEST_SKIP() << run.missing;
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "a\\b|c d|e\"f||tail\\|\\\\\"q|caf\xc3\xa9 \xe4\xb8\xad|");
    EXPECT_EQ(run.err, "to err\n");
}

TEST(Readers, ThatAreNotInstalledAreReportedMissing)
{
    const ReaderResult run = RunReader(L"varenko-no-such-reader", {L"x"});
    EXPECT_FALSE(run.found);
    EXPECT_FALSE(run.missing.empty());
}

TEST(Readers, ReachAFileWhoseNameHasSpacesAndLettersBeyondAscii)
{
    const TempDir dir;
    const std::wstring copy = CopyFixture(L"exif/le.jpg", dir, L"Bild \u00fc \u4e2d.jpg");
    const ReaderResult run = RunReader(L"exiftool", {L"-s3", L"-IFD0:Make", copy});
    if (!run.found) GTEST_SKIP() << run.missing;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TrimmedLine(run.out), "Fixture Optics");
}

// One reader call on a fixture and the value it must report: the reader's whole output (one
// line) when `at` is empty, else the text at that path in its JSON output.
struct ReaderCase {
    const char* name;
    const wchar_t* fixture;
    const wchar_t* reader;
    std::vector<std::wstring> options; // before the file's path
    std::vector<std::wstring> at;
    const char* expected; // UTF-8
};

const ReaderCase kReaderCases[] = {
    {"exiftool_make_of_the_little_endian_jpeg",
     L"exif/le.jpg",
     L"exiftool",
     {L"-s3", L"-IFD0:Make"},
     {},
     "Fixture Optics"},
    {"exiftool_byte_order_of_the_big_endian_jpeg",
     L"exif/be.jpg",
     L"exiftool",
     {L"-s3", L"-File:ExifByteOrder"},
     {},
     "Big-endian (Motorola, MM)"},
    {"exiftool_exposure_time_rational", L"exif/be.jpg", L"exiftool", {L"-s3", L"-ExifIFD:ExposureTime"}, {}, "1/125"},
    {"exiftool_model_in_the_png_exif_chunk", L"exif/exif.png", L"exiftool", {L"-s3", L"-IFD0:Model"}, {}, "FX-8"},
    {"mutagen_title_of_the_id3v23_mp3",
     L"media/id3v23.mp3",
     L"mutagen_dump.py",
     {},
     {L"tags", L"TIT2", L"0"},
     "Caf\xc3\xa9 Morning"},
    {"mutagen_id3_version_of_the_id3v23_mp3", L"media/id3v23.mp3", L"mutagen_dump.py", {}, {L"id3_version"}, "2.3.0"},
    {"mutagen_second_comment_by_description_and_language",
     L"media/two-comments.mp3",
     L"mutagen_dump.py",
     {},
     {L"tags", L"COMM:Notiz:deu", L"0"},
     "Zweiter Kommentar"},
    {"mutagen_title_of_the_id3v1_only_mp3",
     L"media/id3v1.mp3",
     L"mutagen_dump.py",
     {},
     {L"tags", L"TIT2", L"0"},
     "Morning Tune"},
    {"mutagen_album_of_the_wma",
     L"media/tags.wma",
     L"mutagen_dump.py",
     {},
     {L"tags", L"WM/AlbumTitle", L"0"},
     "Test Album"},
    {"ffprobe_title_of_the_avi_info_list",
     L"avi/info.avi",
     L"ffprobe",
     {L"-v", L"error", L"-of", L"default=noprint_wrappers=1:nokey=1", L"-show_entries", L"format_tags=title"},
     {},
     "Movie"},
    {"ffprobe_artist_with_an_odd_size_and_pad_byte",
     L"avi/info-junk.avi",
     L"ffprobe",
     {L"-v", L"error", L"-of", L"default=noprint_wrappers=1:nokey=1", L"-show_entries", L"format_tags=artist"},
     {},
     "Anna"},
    {"olefile_title_of_the_summary",
     L"doc/props.doc",
     L"olefile_dump.py",
     {},
     {L"SummaryInformation", L"title"},
     "Quarterly Report"},
    {"olefile_subject_in_code_page_1252",
     L"doc/props.doc",
     L"olefile_dump.py",
     {},
     {L"SummaryInformation", L"subject"},
     "Finanzen f\xc3\xbcr Anna"},
    {"olefile_company_of_the_document_summary",
     L"doc/props.doc",
     L"olefile_dump.py",
     {},
     {L"DocumentSummaryInformation", L"company"},
     "Example Ltd"},
    {"olefile_user_defined_property",
     L"doc/props.doc",
     L"olefile_dump.py",
     {},
     {L"UserDefined", L"Project"},
     "Varenko"},
};

class AReader : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(AReader, ReportsWhatTheFixtureHolds)
{
    const ReaderCase& c = GetParam();
    const TempDir dir;
    std::vector<std::wstring> args = c.options;
    args.push_back(CopyFixture(c.fixture, dir));
    const ReaderResult run = RunReader(c.reader, args);
    if (!run.found) GTEST_SKIP() << run.missing;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(c.at.empty() ? TrimmedLine(run.out) : JsonTextAt(run.out, c.at), c.expected) << run.out;
}

INSTANTIATE_TEST_SUITE_P(OnTheFixtures, AReader, ::testing::ValuesIn(kReaderCases),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

} // namespace
