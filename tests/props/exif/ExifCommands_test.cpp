// The texts of EXIF items as a script meets them: request lines into the console program, answer
// lines out, and the file checked with exiftool. Each awkward text of the page (a Rational shown
// whole, a denominator left empty, a negative number in an unsigned item, an empty token, bytes
// that overflow, a key in lower case, a member named in decimal) reads back as the page expects,
// and so does text that the ANSI code page cannot hold, in ASCII items and Windows' own UTF-16
// ones.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/support/ConsoleProgram.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs the console program with the given lines and returns its output lines.
std::vector<std::string> RunCommands(const std::vector<std::string>& requests)
{
    std::string input;
    for (const std::string& request : requests)
        input += request + "\n";
    std::vector<std::string> lines;
    std::istringstream stream(RunConsoleProgram(L"varenko-cmd.exe", input));
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The answer an output line carries, itself JSON text.
JsonWrapper AnswerOf(const std::string& line)
{
    return Parsed(MemberText(Parsed(Utf8ToUtf16(line)), L"answer"));
}

JsonObject Item(const std::wstring& type, const std::wstring& data)
{
    return Object().Text(L"type", type).Text(L"data", data);
}

JsonObject SetExif(const std::wstring& file, const JsonObject& items)
{
    return Request(L"setprops")
        .Text(L"filename", file)
        .Text(L"cat", L"exif")
        .Object(L"props", Object().Object(L"exif", items));
}

} // namespace

TEST(ExifCommands, TheTextsOfEachTypeReadBackAsThePageExpects)
{
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    const std::wstring bitmap = CopyFixture(L"exif/plain.bmp", dir);
    const std::string bitmapBefore = ReadAll(bitmap);
    JsonObject list;
    for (const wchar_t* key : {L"0x010f", L"0x0110", L"0x011A", L"0x013B", L"0x829A", L"0x829D", L"0x9000", L"0x9204",
                               L"0x920A", L"0xA214", L"0x0000", L"0x8769"})
        list.Object(key, Object().Text(L"name", key));
    const JsonObject items = Object()
                                 .Object(L"0x9000", Item(L"Undefined", L"30 32 32 30"))
                                 .Object(L"0x011A", Item(L"Rational", L"72"))
                                 .Object(L"0x829A", Item(L"Rational", L"1/250"))
                                 .Object(L"0x829D", Item(L"Rational", L"5/"))
                                 .Object(L"0x9204", Item(L"SRational", L"-1/3"))
                                 .Object(L"0x920A", Item(L"Rational", L"-1"))
                                 .Object(L"0xA214", Item(L"Short", L"1,,-1"))
                                 .Object(L"0x0000", Item(L"Byte", L"FF 1FF 0x10"))
                                 .Object(L"0x013B", Item(L"ASCII", L"Camera"))
                                 .Object(L"271", Item(L"ASCII", L"Maker 271"))
                                 .Object(L"0x0110", Item(L"ASCII", L"not written").Bool(L"readonly", true))
                                 .Object(L"0x8769", Item(L"Long", L"8"))
                                 .Object(L"0x10000", Item(L"ASCII", L"names no tag"));
    const std::vector<std::string> lines = RunCommands({
        Request(L"initproplist").Text(L"cat", L"exif").Text(L"props", list.Print()).Utf8(),
        SetExif(photo, items).Utf8(),
        Request(L"getprops").Text(L"name", photo).Bool(L"allprops", true).Utf8(),
        SetExif(photo, Object()).Utf8(),
        SetExif(bitmap, Object().Object(L"0x013B", Item(L"ASCII", L"Camera"))).Utf8(),
    });
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(AnswerOf(lines[1]).Print(), LR"({"result":true,"error":""})");
    const JsonWrapper exif = AnswerOf(lines[2]).GetMember(L"exif");
    const struct {
        const wchar_t* key;
        std::wstring data;
        int length;
        int count;
    } expected[] = {
        {L"0x9000", L"30 32 32 30", 4, 4}, {L"0x011A", L"72", 8, 1},       {L"0x829A", L"1/250", 8, 1},
        {L"0x829D", L"5/0", 8, 1},         {L"0x9204", L"-1/3", 8, 1},     {L"0x920A", L"4294967295", 8, 1},
        {L"0xA214", L"1, 65535", 4, 2},    {L"0x0000", L"FF FF 00", 3, 3}, {L"0x013B", L"Camera", 7, 7},
        {L"0x010F", L"Maker 271", 10, 10}, {L"0x0110", L"FX-8", 5, 5},
    };
    for (const auto& e : expected) {
        const JsonWrapper item = exif.GetMember(e.key);
        EXPECT_FALSE(item.IsEmpty()) << e.key;
        EXPECT_EQ(MemberText(item, L"data"), e.data) << e.key;
        int length = -1, count = -1;
        item.GetMember(L"length").GetInt(length);
        item.GetMember(L"count").GetInt(count);
        EXPECT_EQ(length, e.length) << e.key;
        EXPECT_EQ(count, e.count) << e.key;
    }
    // The list's lower-case key finds the item; the answer keys it as it is written.
    EXPECT_EQ(MemberText(exif.GetMember(L"0x010F"), L"name"), L"0x010f");
    // The directory pointer is the writer's to compute.
    EXPECT_NE(MemberText(exif.GetMember(L"0x8769"), L"data"), L"8");
    const std::wstring refused = LR"({"result":false,"error":"Exif save props to file error: 1"})";
    EXPECT_EQ(AnswerOf(lines[3]).Print(), refused);
    EXPECT_EQ(AnswerOf(lines[4]).Print(), refused);
    EXPECT_EQ(ReadAll(bitmap), bitmapBefore);

    const ReaderResult read =
        RunReader(L"exiftool", {L"-s3", L"-n", L"-ExifVersion", L"-XResolution", L"-ExposureTime", L"-FNumber",
                                L"-ExposureCompensation", L"-FocalLength", L"-SubjectLocation", L"-GPSVersionID",
                                L"-Artist", L"-Make", L"-Model", L"-warning", photo});
    if (!read.found) GTEST_SKIP() << read.missing;
    EXPECT_EQ(read.out,
              "0220\n72\n0.004\ninf\n-0.3333333333\n4294967295\n1 65535\n255 255 0\nCamera\nMaker 271\nFX-8\n");
}

TEST(ExifCommands, TextsNoCodePageHoldsAndWindowsOwnItemsReadBackInExiftoolAsTheyWereSent)
{
    if (!RunReader(L"exiftool", {L"-ver"}).found) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    const std::wstring photo = CopyFixture(L"exif/le.jpg", dir);
    // Another tool's UTF-8 first: exiftool writes the Artist from an argument file, in UTF-8.
    const std::wstring args = dir.MakeFile(L"args.txt", "-overwrite_original\n-Artist=Navy\xC3\xADs\n");
    const ReaderResult other = RunReader(L"exiftool", {L"-@", args, photo});
    ASSERT_EQ(other.exitCode, 0) << other.err;

    const std::wstring mixed = L"Pr\u00fcfung \u2615 \u65e5\u672c";
    const std::string mixedUtf8 = Utf16ToUtf8(mixed);
    JsonObject list;
    for (const wchar_t* key :
         {L"0x010E", L"0x0131", L"0x013B", L"0x9C9B", L"0x9C9C", L"0x9C9D", L"0x9C9E", L"0x9C9F", L"0x4746", L"0x4749"})
        list.Object(key, Object().Text(L"name", key));
    const JsonObject items = Object()
                                 .Object(L"0x010E", Item(L"ASCII", mixed))
                                 .Object(L"0x0131", Item(L"ASCII", L"Pr\u00fcfung"))
                                 .Object(L"0x9C9B", Item(L"Unicode", mixed))
                                 .Object(L"0x9C9C", Item(L"Unicode", L"Kommentar \u2014 \u00e9t\u00e9"))
                                 .Object(L"0x9C9D", Item(L"Unicode", L"Anna Example; Bo"))
                                 .Object(L"0x9C9E", Item(L"Unicode", L"sea;sky"))
                                 .Object(L"0x9C9F", Item(L"Unicode", L""))
                                 .Object(L"0x4746", Item(L"Short", L"4"))
                                 .Object(L"0x4749", Item(L"Short", L"75"));
    const std::vector<std::string> lines = RunCommands({
        Request(L"initproplist").Text(L"cat", L"exif").Text(L"props", list.Print()).Utf8(),
        Request(L"getprops").Text(L"name", photo).Bool(L"allprops", true).Utf8(),
        SetExif(photo, items).Utf8(),
        Request(L"getprops").Text(L"name", photo).Bool(L"allprops", true).Utf8(),
    });
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(MemberText(AnswerOf(lines[1]).GetMember(L"exif").GetMember(L"0x013B"), L"data"), L"Navy\u00eds");
    EXPECT_EQ(AnswerOf(lines[2]).Print(), LR"({"result":true,"error":""})");
    const JsonWrapper exif = AnswerOf(lines[3]).GetMember(L"exif");
    const struct {
        const wchar_t* key;
        std::wstring data;
        int length;
        int count;
    } expected[] = {
        {L"0x010E", mixed, static_cast<int>(mixedUtf8.size()) + 1, static_cast<int>(mixedUtf8.size()) + 1},
        {L"0x0131", L"Pr\u00fcfung", 8, 8}, // Windows-1252 holds it: one byte a character
        {L"0x013B", L"Navy\u00eds", 8, 8},
        {L"0x9C9B", mixed, 26, 26},
        {L"0x9C9C", L"Kommentar \u2014 \u00e9t\u00e9", 32, 32},
        {L"0x9C9D", L"Anna Example; Bo", 34, 34},
        {L"0x9C9E", L"sea;sky", 16, 16},
        {L"0x9C9F", L"", 2, 2},
        {L"0x4746", L"4", 2, 1},
        {L"0x4749", L"75", 2, 1},
    };
    for (const auto& e : expected) {
        const JsonWrapper item = exif.GetMember(e.key);
        EXPECT_EQ(MemberText(item, L"data"), e.data) << e.key;
        int length = -1, count = -1;
        item.GetMember(L"length").GetInt(length);
        item.GetMember(L"count").GetInt(count);
        EXPECT_EQ(length, e.length) << e.key;
        EXPECT_EQ(count, e.count) << e.key;
    }

    // exiftool takes EXIF ASCII bytes as they are, so UTF-8 comes out as written; what the code
    // page held, it reads in that code page. (It reads Windows' texts as UCS-2, so a character past
    // U+FFFF would come out as two halves: the texts here keep to the first plane.)
    const ReaderResult read =
        RunReader(L"exiftool", {L"-s3", L"-n", L"-IFD0:ImageDescription", L"-IFD0:Artist", L"-IFD0:XPTitle",
                                L"-IFD0:XPComment", L"-IFD0:XPAuthor", L"-IFD0:XPKeywords", L"-IFD0:XPSubject",
                                L"-IFD0:Rating", L"-IFD0:RatingPercent", L"-warning", photo});
    EXPECT_EQ(read.out, mixedUtf8 + "\nNavy\xC3\xADs\n" + mixedUtf8 + "\n" +
                            Utf16ToUtf8(L"Kommentar \u2014 \u00e9t\u00e9") + "\nAnna Example; Bo\nsea;sky\n\n4\n75\n");
    const ReaderResult software = RunReader(L"exiftool", {L"-s3", L"-charset", L"exif=cp1252", L"-Software", photo});
    EXPECT_EQ(software.out, Utf16ToUtf8(L"Pr\u00fcfung\n"));
    const ReaderResult raw = RunReader(L"exiftool", {L"-s3", L"-b", L"-Software", photo});
    EXPECT_EQ(raw.out, "Pr\xFC\x66ung"); // "\x66" is the "f"
}
