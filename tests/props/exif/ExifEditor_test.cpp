// The EXIF handler on files: what it lists for the page's list, and what a write does to real
// files made by exiftool, checked with exiftool itself: the requested items change, every other
// tag reads as before, the maker note stays readable, no warnings, and the image data is the same
// bytes. Failures leave the file as it was and no temporary file behind. The thread's ANSI code
// page, which writes ASCII items, holds a text only when it gives the same text back.
#include "props/exif/ExifEditor.h"
#include "props/exif/JpegContainer.h"
#include "props/exif/ThreadAnsiCodePage.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

// The page's list as the page sends it, and the items a request writes.
const wchar_t kList[] =
    LR"({"0x010f":{"name":"Camera maker","type":"ASCII"},"0x013B":{"name":"Artist","type":"ASCII"},)"
    LR"("0x829A":{"name":"Exposure time","type":"Rational","group":"capture"},)"
    LR"("0x9000":{"name":"EXIF version","type":"Undefined","readonly":true},)"
    LR"("0x5041":{"name":"Interoperability index","type":"ASCII"},"0x0006":{"name":"GPS altitude","type":"Rational"}})";

JsonObject Item(const std::wstring& type, const std::wstring& data)
{
    return Object().Text(L"type", type).Text(L"data", data);
}

std::string Exiftool(const std::vector<std::wstring>& args, const std::wstring& path)
{
    std::vector<std::wstring> all = args;
    all.push_back(path);
    const ReaderResult result = RunReader(L"exiftool", all);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

bool HaveExiftool()
{
    return RunReader(L"exiftool", {L"-ver"}).found;
}

// Every tag exiftool reads, group and name to value, without what describes the file rather
// than its tags, and without offsets, which a rewrite moves.
std::map<std::string, std::string> AllTags(const std::wstring& path)
{
    std::map<std::string, std::string> tags;
    JsonWrapper document;
    EXPECT_TRUE(document.Parse(Utf8ToUtf16(Exiftool({L"-j", L"-a", L"-G1", L"-n", L"-b"}, path))));
    JsonView file;
    for (const JsonView element : document.View())
        file = element;
    for (const JsonView member : file) {
        const std::string name = Utf16ToUtf8(member.Name());
        if (name == "SourceFile" || name.rfind("System:", 0) == 0 || name.rfind("ExifTool:", 0) == 0 ||
            name.rfind("Composite:", 0) == 0 || name == "File:FileSize" || name.find("Offset") != std::string::npos)
            continue;
        std::wstring text;
        tags[name] = member.IsString() && member.GetText(text) ? Utf16ToUtf8(text) : Utf16ToUtf8(member.Copy().Print());
    }
    return tags;
}

// The bytes of the image itself: a JPEG's bytes after its EXIF segment (or after its head when it
// has none), a TIFF's strip, a PNG's IDAT chunk, as exiftool finds them.
std::string ImageData(const std::wstring& path)
{
    const std::string bytes = ReadAll(path);
    if (path.size() > 4 && path.substr(path.size() - 4) == L".jpg") {
        JpegExifPlace place;
        FindJpegExif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), place);
        return bytes.substr(place.found ? place.segment + place.segmentSize : place.insertAt);
    }
    const std::string where = Exiftool({L"-s3", L"-n", L"-StripOffsets", L"-StripByteCounts"}, path);
    if (!where.empty()) {
        const size_t offset = std::stoul(where);
        const size_t length = std::stoul(where.substr(where.find('\n') + 1));
        return bytes.substr(offset, length);
    }
    const size_t idat = bytes.find("IDAT");
    return bytes.substr(idat, bytes.find("IEND") - idat);
}

struct FileState {
    std::string bytes;
    FILETIME written{};
    bool operator==(const FileState& other) const
    {
        return bytes == other.bytes && CompareFileTime(&written, &other.written) == 0;
    }
};

FileState StateOf(const std::wstring& path)
{
    FileState state;
    state.bytes = ReadAll(path);
    FILETIME created, accessed;
    GetTimes(path, created, accessed, state.written);
    return state;
}

} // namespace

TEST(ExifEditor, ListsTheItemsThePageKnowsAsCopiesOfItsEntriesWithTextLengthAndCount)
{
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/maker-le.jpg", dir);
    ExifEditor editor;
    JsonWrapper before;
    editor.GetProps(photo, before);
    EXPECT_EQ(before.Print(), L"{}") << "no list yet";

    ASSERT_TRUE(editor.SetPropList(kList));
    JsonWrapper result;
    editor.GetProps(photo, result);
    // In the order of the file's directories; the list's key 0x010f finds the item 0x010F.
    EXPECT_EQ(
        result.Print(),
        LR"({"0x010F":{"name":"Camera maker","type":"ASCII","data":"Canon","length":6,"count":6},)"
        LR"("0x013B":{"name":"Artist","type":"ASCII","data":"Anna Example","length":13,"count":13},)"
        LR"("0x829A":{"name":"Exposure time","type":"Rational","group":"capture","data":"1/125","length":8,"count":1},)"
        LR"("0x9000":{"name":"EXIF version","type":"Undefined","readonly":true,"data":"30 32 33 32","length":4,"count":4},)"
        LR"("0x5041":{"name":"Interoperability index","type":"ASCII","data":"R98","length":4,"count":4}})");
}

TEST(ExifEditor, ListsAnEmptyObjectForAnImageWithoutItemsAndForWhatIsNoImage)
{
    TempDir dir;
    ExifEditor editor;
    ASSERT_TRUE(editor.SetPropList(kList));
    for (const std::wstring& path : {CopyFixture(L"exif/plain.jpg", dir), CopyFixture(L"exif/plain.bmp", dir),
                                     dir.MakeFile(L"notes.txt", "not an image"), dir.Path() + L"\\missing.jpg"}) {
        JsonWrapper result;
        editor.GetProps(path, result);
        EXPECT_EQ(result.Print(), L"{}") << Utf16ToUtf8(path);
    }
}

TEST(ExifEditor, ListsAnItemTooLargeToShowAsUnreadableAndTheOthersAsTheyAre)
{
    // A TIFF whose description is 9 MiB long and whose maker is short.
    const size_t large = 9 * 1024 * 1024;
    std::string tiff = std::string("II*\0\x08\0\0\0", 8) + std::string("\x02\0", 2);
    const auto entry = [&tiff](uint16_t tag, uint32_t count, uint32_t offset) {
        const uint8_t bytes[] = {static_cast<uint8_t>(tag),
                                 static_cast<uint8_t>(tag >> 8),
                                 2,
                                 0,
                                 static_cast<uint8_t>(count),
                                 static_cast<uint8_t>(count >> 8),
                                 static_cast<uint8_t>(count >> 16),
                                 static_cast<uint8_t>(count >> 24),
                                 static_cast<uint8_t>(offset),
                                 static_cast<uint8_t>(offset >> 8),
                                 static_cast<uint8_t>(offset >> 16),
                                 static_cast<uint8_t>(offset >> 24)};
        tiff.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
    };
    entry(0x010E, static_cast<uint32_t>(large), 40);
    entry(0x010F, 6, static_cast<uint32_t>(40 + large));
    tiff.append(6, '\0'); // the next-directory field, and padding to the values at 40
    tiff += std::string(large - 1, 'd') + '\0' + std::string("Maker\0", 6);
    TempDir dir;
    const std::wstring path = dir.MakeFile(L"large.tif", tiff);
    ExifEditor editor;
    ASSERT_TRUE(editor.SetPropList(LR"({"0x010E":{},"0x010F":{}})"));
    JsonWrapper result;
    editor.GetProps(path, result);
    EXPECT_EQ(result.Print(),
              LR"({"0x010E":{"data":"","length":0,"count":0},"0x010F":{"data":"Maker","length":6,"count":6}})");
}

TEST(ExifEditor, ListingLeavesTheFilesLastAccessTimeAsItWas)
{
    TempDir dir;
    ExifEditor editor;
    ASSERT_TRUE(editor.SetPropList(kList));
    for (const std::wstring& path : {CopyFixture(L"exif/le.jpg", dir), dir.MakeFile(L"notes.txt", "not an image")}) {
        // Older than the last write, which is when reading the file would move it.
        const FILETIME old = MakeFileTime(2015, 6, 7, 8, 9, 10);
        ASSERT_TRUE(SetTimes(path, nullptr, &old, nullptr));
        JsonWrapper result;
        editor.GetProps(path, result);
        FILETIME created, accessed, written;
        ASSERT_TRUE(GetTimes(path, created, accessed, written));
        EXPECT_EQ(Ticks(accessed), Ticks(old)) << Utf16ToUtf8(path);
    }
}

TEST(ExifEditor, WritesTheRequestedItemsAndExiftoolReadsThemBackWithEverythingElseAsItWas)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    // A longer Artist moves everything after it, the maker note's neighbours too.
    const JsonObject request = Object()
                                   .Object(L"0x013B", Item(L"ASCII", L"Someone Else, who writes a longer name"))
                                   .Object(L"0x829A", Item(L"Rational", L"1/250"))
                                   .Object(L"0x0006", Item(L"Rational", L"120"));
    const std::map<std::string, std::string> changed = {{"IFD0:Artist", "Someone Else, who writes a longer name"},
                                                        {"ExifIFD:ExposureTime", "0.004000"},
                                                        {"GPS:GPSAltitude", "120"}};
    for (const wchar_t* name : {L"le.jpg", L"be.jpg", L"maker-le.jpg", L"maker-be.jpg", L"exif.tif", L"maker-be.tif",
                                L"exif.png", L"plain.jpg", L"ifd-loop.jpg"}) {
        TempDir dir;
        const std::wstring photo = CopyFixture(std::wstring(L"exif/") + name, dir);
        const std::map<std::string, std::string> before = AllTags(photo);
        const std::string imageData = ImageData(photo);
        const std::string warnings = Exiftool({L"-s3", L"-warning"}, photo);

        ExifEditor editor;
        std::wstring error = L"unchanged";
        ASSERT_TRUE(editor.SetProps(photo, request.Document().View(), error)) << name;
        EXPECT_EQ(error, L"unchanged") << name;

        // A damaged file keeps its damage (a looping chain): no new warning, none taken away.
        EXPECT_EQ(Exiftool({L"-s3", L"-warning"}, photo), warnings) << name;
        std::map<std::string, std::string> after = AllTags(photo);
        for (const auto& [tag, value] : changed)
            EXPECT_EQ(after[tag], value) << Utf16ToUtf8(name) << " " << tag;
        for (const auto& [tag, value] : before) {
            if (changed.count(tag) || tag.rfind("Warning", 0) == 0) continue;
            EXPECT_EQ(after[tag], value) << Utf16ToUtf8(name) << " " << tag;
        }
        EXPECT_EQ(ImageData(photo), imageData) << name;
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{name}) << name;
    }
}

TEST(ExifEditor, SkipsReadOnlyMembersAndNamesItemsInDecimalOrHexadecimal)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    const JsonObject request = Object()
                                   .Object(L"271", Item(L"ASCII", L"Maker by number"))
                                   .Object(L"0x0110", Item(L"ASCII", L"Model").Bool(L"readonly", true))
                                   .Object(L"0x0131", Item(L"ASCII", L"Software by hex").Bool(L"readonly", false))
                                   .Object(L"Artist", Item(L"ASCII", L"named, not numbered"))
                                   .Object(L"0x10000", Item(L"ASCII", L"no such tag"));
    ExifEditor editor;
    std::wstring error;
    ASSERT_TRUE(editor.SetProps(photo, request.Document().View(), error));
    EXPECT_EQ(Exiftool({L"-s3", L"-Make", L"-Model", L"-Software", L"-Artist"}, photo),
              "Maker by number\nFX-8\nSoftware by hex\nAnna Example\n");
}

TEST(ExifEditor, RefusesAnEmptyRequestAndImagesItCannotWriteWithCode1AndTouchesNothing)
{
    const JsonObject artist = Object().Object(L"0x013B", Item(L"ASCII", L"Someone Else"));
    const struct {
        const wchar_t* fixture;
        JsonObject request;
    } cases[] = {
        {L"exif/le.jpg", Object()},
        {L"exif/plain.bmp", artist},
        {L"", artist},     // a text file
        {nullptr, artist}, // no file at all
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::wstring path = c.fixture == nullptr ? dir.Path() + L"\\missing.jpg"
                                  : *c.fixture == 0    ? dir.MakeFile(L"notes.jpg", "not an image")
                                                       : CopyFixture(c.fixture, dir);
        const std::vector<std::wstring> files = FolderNames(dir.Path());
        const FileState before = c.fixture == nullptr ? FileState() : StateOf(path);
        ExifEditor editor;
        std::wstring error;
        EXPECT_FALSE(editor.SetProps(path, c.request.Document().View(), error));
        EXPECT_EQ(error, L"Exif save props to file error: 1");
        if (c.fixture != nullptr) {
            EXPECT_TRUE(StateOf(path) == before);
        }
        EXPECT_EQ(FolderNames(dir.Path()), files);
    }
}

TEST(ExifEditor, RefusesAReadOnlyFileWithAReasonAndLeavesNothingBeside)
{
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    ASSERT_TRUE(SetFileAttributesW(photo.c_str(), FILE_ATTRIBUTE_READONLY));
    const FileState before = StateOf(photo);
    ExifEditor editor;
    std::wstring error;
    EXPECT_FALSE(editor.SetProps(photo, Object().Object(L"0x013B", Item(L"ASCII", L"x")).Document().View(), error));
    EXPECT_EQ(error, L"The file is read-only");
    EXPECT_TRUE(StateOf(photo) == before);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"le.jpg"});
}

TEST(ExifEditor, NeverTouchesAFileOfTheUsersWhoseNameASaveCouldHaveTakenForItsOwn)
{
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    const std::wstring mine = dir.MakeFile(L"le.jpg.new", "the user's own file");
    const FileState before = StateOf(mine);
    ExifEditor editor;
    std::wstring error;
    EXPECT_TRUE(editor.SetProps(photo, Object().Object(L"0x013B", Item(L"ASCII", L"x")).Document().View(), error));
    EXPECT_TRUE(StateOf(mine) == before);
    EXPECT_EQ(FolderNames(dir.Path()), (std::vector<std::wstring>{L"le.jpg", L"le.jpg.new"}));
}

TEST(ExifEditor, LeavesAFileAloneWhenTheRequestChangesNothing)
{
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    const FILETIME old = MakeFileTime(2015, 6, 7, 8, 9, 10);
    ASSERT_TRUE(SetTimes(photo, nullptr, nullptr, &old));
    const FileState before = StateOf(photo);
    const JsonObject request = Object()
                                   .Object(L"0x013B", Item(L"ASCII", L"Anna Example"))
                                   .Object(L"0x8769", Item(L"Long", L"12"))
                                   .Object(L"0x829A", Item(L"Rational", L"1/125"));
    ExifEditor editor;
    std::wstring error;
    EXPECT_TRUE(editor.SetProps(photo, request.Document().View(), error));
    EXPECT_EQ(error, L"");
    EXPECT_TRUE(StateOf(photo) == before);
}

TEST(ExifEditor, WritesAFileNamedRelativeToTheCurrentFolder)
{
    // The system's replace call takes full paths only.
    TempDir dir;
    CopyFixture(L"exif/le.jpg", dir);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    ExifEditor editor;
    std::wstring error;
    const bool written =
        editor.SetProps(L"le.jpg", Object().Object(L"0x013B", Item(L"ASCII", L"Relative")).Document().View(), error);
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(written) << Utf16ToUtf8(error);
    ASSERT_TRUE(editor.SetPropList(kList));
    JsonWrapper result;
    editor.GetProps(dir.Path() + L"\\le.jpg", result);
    EXPECT_EQ(MemberText(result.Member(L"0x013B"), L"data"), L"Relative");
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{L"le.jpg"});
}

TEST(ExifEditor, TheThreadsCodePageHoldsATextOnlyWhenItGivesTheTextBack)
{
    const ThreadAnsiCodePage codePage;
    CPINFOEXW info{};
    ASSERT_TRUE(GetCPInfoExW(CP_THREAD_ACP, 0, &info));
    const UINT ansi = info.CodePage;
    std::cout << "the thread's ANSI code page: " << ansi << "\n";
    const struct {
        std::wstring text;
        bool held;
        std::string bytes;
    } cases1252[] = {
        {L"", true, ""},
        {L"Camera", true, "Camera"},
        {L"Pr\u00fcfung", true, "Pr\xFC\x66ung"}, // "\x66" is the "f"
        {L"a?b", true, "a?b"},
        {L"\u20ac 5", true, "\x80 5"},
        {L"\u2615", false, ""}, // the default character '?'
        {L"\u65e5\u672c", false, ""},
        {L"\u0101", false, ""}, // "a" would be its best fit
        {L"\u2212", false, ""}, // "-" likewise
        {std::wstring(1, wchar_t(0xD800)), false, ""},
    };
    for (const auto& c : cases1252) {
        std::string bytes = "unchanged";
        const bool held = codePage.EncodeExact(c.text, bytes);
        if (held) {
            EXPECT_EQ(codePage.Decode(bytes), c.text) << Utf16ToUtf8(c.text);
        }
        if (ansi != 1252) continue; // only the round trip is known for other code pages
        EXPECT_EQ(held, c.held) << Utf16ToUtf8(c.text);
        if (c.held) {
            EXPECT_EQ(bytes, c.bytes) << Utf16ToUtf8(c.text);
        }
    }
    if (ansi == 1252) {
        EXPECT_EQ(codePage.Decode("Navy\xEDs"), L"Navy\u00eds");
    }
}
