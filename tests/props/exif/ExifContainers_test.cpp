// The containers around an EXIF block, on real files: EXIF kept as a raw profile in a PNG text
// chunk (tEXt, zTXt, iTXt) is read and written back in the same form, with no second block left
// beside it; raw profiles that are damaged or inflate without end are refused early and nothing is
// written; and a JPEG's AFCP trailer, whose positions count from the start of the file, keeps
// pointing at its entries when the EXIF segment before it changes size. Every file written is
// read again by exiftool.
#include "props/exif/AfcpTrailer.h"
#include "props/exif/ExifImage.h"
#include "props/exif/JpegContainer.h"
#include "props/exif/PngContainer.h"
#include "props/exif/RawProfile.h"
#include "props/exif/ZlibStream.h"
#include "core/TextConvert.h"
#include "tests/props/exif/ExifTestBytes.h"
#include "tests/props/exif/PngChunks.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kArtist = 0x013B;
constexpr uint32_t kMake = 0x010F;
constexpr uint32_t kModel = 0x0110;
constexpr uint32_t kDescription = 0x010E;
const std::string kKeyword("Raw profile type exif\0", 22);

Bytes AsBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

std::string AsText(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

Bytes FixtureBytes(const std::wstring& name)
{
    return AsBytes(ReadAll(FixturePath(L"exif/" + name)));
}

Bytes Ascii(const std::string& text)
{
    Bytes value(text.begin(), text.end());
    value.push_back(0);
    return value;
}

// An ASCII item's text, without its terminating zeros.
std::string ItemText(const ExifImage& image, uint32_t id)
{
    ExifItem item;
    if (!image.GetItem(id, item)) return "(none)";
    std::string text(item.value.begin(), item.value.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

Bytes Saved(ExifImage& image, uint32_t id, const std::string& text)
{
    Bytes out;
    EXPECT_EQ(image.SetItem(ExifItem{id, 2, Ascii(text)}), ExifStatus::Ok);
    EXPECT_EQ(image.Save(out), ExifStatus::Ok);
    return out;
}

bool HaveExiftool()
{
    return RunReader(L"exiftool", {L"-ver"}).found;
}

std::string Exiftool(std::vector<std::wstring> args, const std::wstring& path)
{
    args.push_back(path);
    const ReaderResult result = RunReader(L"exiftool", args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string out = result.out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// exiftool's full listing, "[group] name" and value, sorted; without what describes the file
// rather than its tags, and without offsets, which a rewrite moves. Warnings stay in.
std::vector<std::pair<std::string, std::string>> Listing(const std::wstring& path)
{
    std::vector<std::pair<std::string, std::string>> lines;
    const std::string out = Exiftool({L"-a", L"-u", L"-G1"}, path);
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        std::string key;
        for (const char c : line.substr(0, colon)) {
            if (c != ' ' || (!key.empty() && key.back() != ' ')) key.push_back(c);
        }
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        if (key.rfind("[System]", 0) == 0 || key == "[ExifTool] ExifTool Version Number" || key == "[File] File Size" ||
            key == "[File] Exif Byte Order" || key.find("Offset") != std::string::npos)
            continue;
        lines.emplace_back(key, line.substr(colon + 2));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// exiftool lists the file as before but for one tag, which now has the given value.
void ExpectOnlyChanged(std::vector<std::pair<std::string, std::string>> before,
                       std::vector<std::pair<std::string, std::string>> after, const std::string& key,
                       const std::string& value)
{
    const auto drop = [&key](std::vector<std::pair<std::string, std::string>>& lines) {
        std::vector<std::string> values;
        for (auto line = lines.begin(); line != lines.end();) {
            if (line->first != key) {
                ++line;
                continue;
            }
            values.push_back(line->second);
            line = lines.erase(line);
        }
        return values;
    };
    EXPECT_EQ(drop(after), std::vector<std::string>{value});
    drop(before);
    EXPECT_EQ(after, before);
}

void Overwrite(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

Bytes Concat(Bytes head, const Bytes& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// --- PNG chunks ----------------------------------------------------------------------------------

bool HoldsExif(const PngChunk& chunk)
{
    const bool text = chunk.type == "tEXt" || chunk.type == "zTXt" || chunk.type == "iTXt";
    return chunk.type == "eXIf" || (text && AsText(chunk.data).rfind(kKeyword, 0) == 0);
}

std::vector<std::string> Types(const std::vector<PngChunk>& chunks)
{
    std::vector<std::string> types;
    for (const PngChunk& chunk : chunks)
        types.push_back(chunk.type);
    return types;
}

// exif.png (an eXIf chunk from exiftool) with its eXIf chunk swapped for the given chunks.
Bytes PngWith(const std::vector<PngChunk>& exifChunks)
{
    std::vector<PngChunk> chunks;
    for (const PngChunk& chunk : PngChunks(FixtureBytes(L"exif.png"))) {
        if (chunk.type == "eXIf") continue;
        chunks.push_back(chunk);
        if (chunk.type == "IHDR") chunks.insert(chunks.end(), exifChunks.begin(), exifChunks.end());
    }
    return PngFile(chunks);
}

// The raw profile's text in profile-text.png, a tEXt chunk laid out as ImageMagick does.
std::string ProfileText()
{
    for (const PngChunk& chunk : PngChunks(FixtureBytes(L"profile-text.png"))) {
        if (chunk.type == "tEXt" && HoldsExif(chunk)) return AsText(chunk.data).substr(kKeyword.size());
    }
    ADD_FAILURE() << "no raw profile in profile-text.png";
    return {};
}

Bytes Compressed(const std::string& text)
{
    Bytes out;
    EXPECT_TRUE(DeflateZlib(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out));
    return out;
}

// A zlib stream of `head` and then `pieces` MiB of `fill`, which inflates to far more than it
// takes: one MiB deflated after a full flush needs nothing before it, so its bytes are repeated.
Bytes Bomb(const std::string& head, char fill, size_t pieces)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit(&stream, Z_BEST_COMPRESSION), Z_OK);
    const auto run = [&stream](const std::string& in, int flush) {
        Bytes out;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        stream.avail_in = static_cast<uInt>(in.size());
        do {
            uint8_t buffer[64 * 1024];
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.insert(out.end(), buffer, buffer + sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
        return out;
    };
    Bytes bomb = run(head, Z_FULL_FLUSH);
    const Bytes piece = run(std::string(1024 * 1024, fill), Z_FULL_FLUSH);
    for (size_t i = 0; i < pieces; ++i)
        bomb.insert(bomb.end(), piece.begin(), piece.end());
    const Bytes end = run(std::string(), Z_FINISH); // its check value is of what deflate saw
    bomb.insert(bomb.end(), end.begin(), end.end());
    deflateEnd(&stream);
    return bomb;
}

// The head of a profile whose length is the most the reader takes (the block at its cap and JPEG's
// six-byte header), and of a short one.
const std::string kAtTheCap = "\nexif\n" + std::to_string(kMaxPngTextBlock + 6) + "\n";
const std::string kShortProfile = "\nexif\n       4\n4d4d002a\n";

// --- JPEG and the AFCP trailer -------------------------------------------------------------------

// The bytes that an AFCP trailer's entries point at, in order.
std::vector<Bytes> TrailerEntries(const Bytes& jpeg)
{
    const AfcpTrailer trailer = AfcpTrailer::Find(jpeg.data(), jpeg.size());
    EXPECT_EQ(trailer.state(), AfcpTrailer::State::Valid);
    std::vector<Bytes> entries;
    for (size_t i = 0; i < trailer.Entries(); ++i) {
        uint32_t length = 0, offset = 0;
        EXPECT_TRUE(trailer.Entry(i, length, offset));
        entries.emplace_back(jpeg.begin() + offset, jpeg.begin() + offset + length);
    }
    return entries;
}

uint32_t Read32(const Bytes& bytes, size_t at, bool big)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= uint32_t{bytes[at + i]} << (8 * (big ? 3 - i : i));
    return value;
}

void Write32(Bytes& bytes, size_t at, uint32_t value, bool big)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * (big ? 3 - i : i)));
}

} // namespace

// --- PNG: EXIF in a raw-profile text chunk ---------------------------------------------------------

struct ProfileFile {
    const wchar_t* name;
    const char* type;
    bool compressed;
    bool exifHeader;
};

const ProfileFile kProfileFiles[] = {
    {L"profile-text.png", "tEXt", false, true},
    {L"profile-ztxt.png", "zTXt", true, true}, // written by exiftool
    {L"profile-itxt.png", "iTXt", true, false},
    {L"reagan-profile.png", "zTXt", true, true}, // written by another program, beside other profiles
};

TEST(ExifContainers, ReadsTheExifOfARawProfileInEveryTextChunkKindAsExiftoolDoes)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    for (const ProfileFile& file : kProfileFiles) {
        SCOPED_TRACE(Utf16ToUtf8(file.name));
        const std::wstring path = CopyFixture(std::wstring(L"exif/") + file.name, dir);
        const Bytes png = AsBytes(ReadAll(path));
        PngExifPlace place;
        ASSERT_TRUE(FindPngExif(png.data(), png.size(), place));
        ASSERT_TRUE(place.found && place.inText);
        EXPECT_FALSE(place.damaged);
        EXPECT_EQ(std::string(place.text.type, 4), file.type);
        EXPECT_EQ(place.text.compressed, file.compressed);
        EXPECT_EQ(place.text.exifHeader, file.exifHeader);
        EXPECT_TRUE(place.others.empty());
        ASSERT_GE(place.blockSize, 8u);
        const std::string header(reinterpret_cast<const char*>(place.BlockData(png.data())), 4);
        EXPECT_TRUE(header == std::string("MM\0*", 4) || header == std::string("II*\0", 4));

        ExifImage image;
        ASSERT_TRUE(image.Load(png));
        EXPECT_TRUE(image.CanWrite());
        EXPECT_EQ(ItemText(image, kMake), Exiftool({L"-s3", L"-IFD0:Make"}, path));
        EXPECT_EQ(ItemText(image, kModel), Exiftool({L"-s3", L"-IFD0:Model"}, path));
    }
}

TEST(ExifContainers, WritesARawProfileBackInItsOwnChunkAndFormWithNoSecondBlock)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    for (const ProfileFile& file : kProfileFiles) {
        SCOPED_TRACE(Utf16ToUtf8(file.name));
        const std::wstring path = CopyFixture(std::wstring(L"exif/") + file.name, dir);
        const Bytes original = AsBytes(ReadAll(path));
        const auto before = Listing(path);
        PngExifPlace old;
        ASSERT_TRUE(FindPngExif(original.data(), original.size(), old) && old.inText);

        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        Overwrite(path, Saved(image, kArtist, "Someone Else"));

        const Bytes saved = AsBytes(ReadAll(path));
        const std::vector<PngChunk> was = PngChunks(original), now = PngChunks(saved);
        EXPECT_EQ(Types(now), Types(was)) << "no chunk added, dropped or moved";
        ASSERT_EQ(now.size(), was.size());
        for (size_t i = 0; i < now.size(); ++i) {
            EXPECT_TRUE(now[i].crcValid) << now[i].type;
            if (HoldsExif(was[i])) {
                // The keyword and an iTXt's fields as they were.
                EXPECT_TRUE(
                    std::equal(was[i].data.begin(), was[i].data.begin() + old.text.headerSize, now[i].data.begin()));
            } else {
                EXPECT_EQ(now[i].data, was[i].data) << now[i].type;
            }
        }
        PngExifPlace place;
        ASSERT_TRUE(FindPngExif(saved.data(), saved.size(), place));
        ASSERT_TRUE(place.found && place.inText && !place.damaged);
        EXPECT_TRUE(place.others.empty());
        EXPECT_EQ(place.text.compressed, old.text.compressed);
        EXPECT_EQ(place.text.exifHeader, old.text.exifHeader);
        EXPECT_EQ(place.text.layout.lineDigits, old.text.layout.lineDigits);
        EXPECT_EQ(place.text.layout.lengthWidth, old.text.layout.lengthWidth);

        EXPECT_EQ(Exiftool({L"-s3", L"-IFD0:Artist"}, path), "Someone Else");
        ExpectOnlyChanged(before, Listing(path), "[IFD0] Artist", "Someone Else");
    }
}

TEST(ExifContainers, TakesTheFirstOfTwoExifBlocksAndLeavesOnlyItAfterAWrite)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    PngChunk profile, exif;
    for (const PngChunk& chunk : PngChunks(FixtureBytes(L"profile-text.png")))
        if (HoldsExif(chunk)) profile = chunk; // Artist "Profile Artist"
    for (const PngChunk& chunk : PngChunks(FixtureBytes(L"exif.png")))
        if (chunk.type == "eXIf") exif = chunk; // Artist "Anna Example"
    struct Case {
        const char* name;
        std::vector<PngChunk> chunks;
        const char* artist;
    };
    const Case cases[] = {
        {"the raw profile first", {profile, exif}, "Profile Artist"},
        {"the eXIf chunk first", {exif, profile}, "Anna Example"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes original = PngWith(c.chunks);
        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        EXPECT_EQ(ItemText(image, kArtist), c.artist);
        const std::wstring path = dir.Path() + L"\\both.png";
        Overwrite(path, Saved(image, kArtist, "Someone Else"));

        std::vector<std::string> exifChunks;
        for (const PngChunk& chunk : PngChunks(AsBytes(ReadAll(path))))
            if (HoldsExif(chunk)) exifChunks.push_back(chunk.type);
        EXPECT_EQ(exifChunks, std::vector<std::string>{c.chunks.front().type});
        EXPECT_EQ(Exiftool({L"-s3", L"-a", L"-IFD0:Artist"}, path), "Someone Else");
        EXPECT_EQ(Exiftool({L"-s3", L"-Warning"}, path), "");
    }
}

TEST(ExifContainers, RefusesDamagedRawProfilesAndWritesNothing)
{
    const std::string good = ProfileText();
    ASSERT_FALSE(good.empty());
    const size_t lengthLine = good.find('\n', 1) + 1;
    const size_t digits = good.find('\n', lengthLine) + 1;
    const auto replaced = [&good](size_t at, const std::string& with) {
        return std::string(good).replace(at, with.size(), with);
    };
    const std::string declared = good.substr(lengthLine, digits - 1 - lengthLine);
    const auto length = [&](long change) {
        std::string line = std::to_string(std::stol(declared) + change);
        return std::string(declared.size() - line.size(), ' ') + line;
    };
    Bytes cut = Compressed(good);
    cut.resize(cut.size() / 2);
    Bytes wrongCheck = Compressed(good);
    wrongCheck.back() ^= 0x55;
    const Bytes oneGiBOfDigits = Bomb(kAtTheCap, '0', 1024), oneGiBOfNewlines = Bomb(kShortProfile, '\n', 1024);

    struct Case {
        const char* name;
        const char* type;
        Bytes data; // after the keyword
    };
    const Case cases[] = {
        {"a letter that is no hexadecimal digit", "tEXt", AsBytes(replaced(digits + 40, "g"))},
        {"a length one more than its digits give", "tEXt", AsBytes(replaced(lengthLine, length(+1)))},
        {"a length one less than its digits give", "tEXt", AsBytes(replaced(lengthLine, length(-1)))},
        {"a letter in the length", "tEXt", AsBytes(replaced(digits - 3, "x"))},
        {"no newline before the name", "tEXt", AsBytes(good.substr(1))},
        {"a length past the cap", "tEXt", AsBytes("\nexif\n99999999\n" + good.substr(digits))},
        {"the text cut short", "tEXt", AsBytes(good.substr(0, good.size() / 2))},
        {"a zlib stream cut short", "zTXt", Concat({0}, cut)},
        {"a zlib stream with a wrong check value", "zTXt", Concat({0}, wrongCheck)},
        {"a compression method that is not zlib", "zTXt", Concat({1}, Compressed(good))},
        {"an iTXt compression flag of 2", "iTXt", Concat({2, 0, 0, 0}, AsBytes(good))},
        {"a GiB of digits past a length at the cap", "zTXt", Concat({0}, oneGiBOfDigits)},
        {"a GiB of newlines after the digits", "zTXt", Concat({0}, oneGiBOfNewlines)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes png = PngWith({PngChunk{c.type, Concat(AsBytes(kKeyword), c.data)}});

        PngExifPlace place;
        ASSERT_TRUE(FindPngExif(png.data(), png.size(), place));
        EXPECT_TRUE(place.found && place.inText && place.damaged);
        EXPECT_EQ(place.blockSize, 0u);
        Bytes written;
        VectorSink sink(written);
        EXPECT_FALSE(WritePngExif(png.data(), png.size(), place, Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0}, sink));
        EXPECT_TRUE(written.empty());

        ExifImage image;
        ASSERT_TRUE(image.Load(png));
        EXPECT_EQ(image.ItemCount(), 0u);
        EXPECT_FALSE(image.CanWrite());
        EXPECT_EQ(image.SetItem(ExifItem{kArtist, 2, Ascii("Someone Else")}), ExifStatus::PropertyNotSupported);
        EXPECT_EQ(image.Save(written), ExifStatus::GenericError);
        EXPECT_TRUE(written.empty());
    }
}

TEST(ExifContainers, WritesATextChunkBlockUpToTheSizeItReadsAndNoLarger)
{
    for (const wchar_t* name : {L"profile-text.png", L"profile-itxt.png"}) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        const Bytes png = FixtureBytes(name);
        PngExifPlace place;
        ASSERT_TRUE(FindPngExif(png.data(), png.size(), place) && place.inText);
        Bytes largest(kMaxPngTextBlock, 0x4D);
        EXPECT_TRUE(FitsPngPlace(place, largest.size()));
        Bytes out;
        VectorSink sink(out);
        ASSERT_TRUE(WritePngExif(png.data(), png.size(), place, largest, sink));
        PngExifPlace again;
        ASSERT_TRUE(FindPngExif(out.data(), out.size(), again));
        EXPECT_FALSE(again.damaged);
        EXPECT_EQ(again.blockSize, largest.size());

        largest.push_back(0);
        EXPECT_FALSE(FitsPngPlace(place, largest.size()));
        out.clear();
        EXPECT_FALSE(WritePngExif(png.data(), png.size(), place, largest, sink));
        EXPECT_TRUE(out.empty());
    }
    // An eXIf chunk holds what a chunk holds.
    const Bytes png = FixtureBytes(L"exif.png");
    PngExifPlace place;
    ASSERT_TRUE(FindPngExif(png.data(), png.size(), place) && place.found && !place.inText);
    EXPECT_TRUE(FitsPngPlace(place, kMaxPngTextBlock + 1));
}

TEST(ExifContainers, StopsInflatingARawProfileSoonAfterItRunsPastWhatItsLengthNeeds)
{
    struct Case {
        const char* name;
        std::string head;
        char fill;
        size_t limit; // the most it may inflate: what the length needs, and a piece more
    };
    const Case cases[] = {
        {"digits without end", kAtTheCap, '0', kAtTheCap.size() + 2 * (kMaxPngTextBlock + 6) + 64 * 1024},
        {"white space without end", kShortProfile, '\n', 64 * 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bomb = Bomb(c.head, c.fill, 1024); // a GiB
        RawProfileDecoder decoder(kMaxPngTextBlock + 6);
        size_t inflated = 0;
        const InflateResult result = InflateZlib(bomb.data(), bomb.size(), [&](const uint8_t* piece, size_t size) {
            inflated += size;
            return decoder.Take(piece, size);
        });
        EXPECT_EQ(result, InflateResult::Refused);
        EXPECT_LE(inflated, c.limit);
    }
}

TEST(ExifContainers, DecodesRawProfilesAsTheirWritersLayThemOutAndEncodesThemTheSameWay)
{
    const Bytes bytes = {0x4D, 0x4D, 0x00, 0x2A, 0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    struct Case {
        const char* name;
        std::string text;
        bool encodesBack; // the layout is one a rewrite keeps exactly
        size_t lineDigits;
        bool upperCase;
    };
    const Case cases[] = {
        {"eight places and lines of 72 digits", "\nexif\n       9\n4d4d002adeadbeef01\n", true, 72, false},
        {"lines of 8 digits in capitals", "\nexif\n       9\n4D4D002A\nDEADBEEF\n01\n", true, 8, true},
        {"no final newline", "\nexif\n       9\n4d4d002adeadbeef01", true, 72, false},
        {"a length without places", "\nexif\n9\n4d4d002adeadbeef01\n", true, 72, false},
        {"Windows line ends between the digits", "\nexif\n       9\n4d4d002a\r\ndeadbeef\r\n01\r\n", false, 8, false},
        {"a blank line and spaces between the digits", "\nexif\n\n   9\n\n4d 4d 00 2a de ad be ef 01\n", false, 72,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawProfileDecoder decoder(1024);
        // In pieces of one byte, as a stream may hand them over.
        bool taken = true;
        for (const char byte : c.text)
            taken = taken && decoder.Take(reinterpret_cast<const uint8_t*>(&byte), 1);
        ASSERT_TRUE(taken && decoder.Finish());
        EXPECT_EQ(decoder.Bytes(), bytes);
        EXPECT_EQ(decoder.Layout().lineDigits, c.lineDigits);
        EXPECT_EQ(decoder.Layout().upperCase, c.upperCase);
        if (c.encodesBack) {
            EXPECT_EQ(EncodeRawProfile(bytes.data(), bytes.size(), decoder.Layout()), c.text);
        }
    }
}

// --- JPEG: the AFCP trailer -------------------------------------------------------------------------

TEST(ExifContainers, MovesTheAfcpTrailersPositionsWithTheBytesAfterTheExifSegment)
{
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    // plain.jpg (no EXIF) with afcp-le.jpg's trailer, its positions set for where it now lies.
    Bytes plain = FixtureBytes(L"plain.jpg");
    {
        const Bytes source = FixtureBytes(L"afcp-le.jpg");
        const AfcpTrailer trailer = AfcpTrailer::Find(source.data(), source.size());
        ASSERT_EQ(trailer.state(), AfcpTrailer::State::Valid);
        const size_t start = plain.size();
        const uint32_t shift = static_cast<uint32_t>(trailer.Start() - start);
        plain.insert(plain.end(), source.begin() + trailer.Start(), source.end());
        for (size_t i = 0; i < trailer.Entries(); ++i) {
            const size_t field = start + 12 * (i + 1) + 8;
            Write32(plain, field, Read32(plain, field, false) - shift, false);
        }
        Write32(plain, plain.size() - 8, static_cast<uint32_t>(start), false);
    }
    struct Case {
        const char* name;
        const wchar_t* fixture;
        std::string description;
        bool grows;
    };
    const Case cases[] = {
        {"little-endian trailer, the segment grows", L"afcp-le.jpg", std::string(400, 'L'), true},
        {"big-endian trailer, the segment grows", L"afcp-be.jpg", std::string(400, 'B'), true},
        // A shorter value is written over the old one: the segment keeps its size.
        {"a shorter description", L"afcp-le.jpg", "S", false},
        {"a new segment before the trailer", nullptr, "New", true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = c.fixture != nullptr ? CopyFixture(std::wstring(L"exif/") + c.fixture, dir)
                                                       : dir.Path() + L"\\plain-afcp.jpg";
        if (c.fixture == nullptr) Overwrite(path, plain);
        const Bytes original = AsBytes(ReadAll(path));
        const auto before = Listing(path);
        ASSERT_NE(Exiftool({L"-s3", L"-AFCP:Text"}, path), "") << "exiftool reads the trailer";
        EXPECT_EQ(Exiftool({L"-s3", L"-Warning"}, path), "");

        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        const Bytes saved = Saved(image, kDescription, c.description);
        ASSERT_EQ(saved.size() != original.size(), c.grows);
        Overwrite(path, saved);

        EXPECT_EQ(TrailerEntries(saved), TrailerEntries(original));
        auto after = Listing(path);
        if (c.fixture == nullptr) {
            // A new block carries the items readers require of IFD0.
            const std::vector<std::pair<std::string, std::string>> required = {
                {"[IFD0] Resolution Unit", "inches"},
                {"[IFD0] X Resolution", "72"},
                {"[IFD0] Y Cb Cr Positioning", "Centered"},
                {"[IFD0] Y Resolution", "72"}};
            for (const auto& item : required) {
                const auto found = std::find(after.begin(), after.end(), item);
                EXPECT_NE(found, after.end()) << item.first;
                if (found != after.end()) after.erase(found);
            }
        }
        ExpectOnlyChanged(before, after, "[IFD0] Image Description", c.description);
    }
}

TEST(ExifContainers, KeepsAnAfcpTrailerItCannotMoveAsItWasAndRefusesToMoveIt)
{
    const Bytes good = FixtureBytes(L"afcp-le.jpg");
    const AfcpTrailer trailer = AfcpTrailer::Find(good.data(), good.size());
    ASSERT_EQ(trailer.state(), AfcpTrailer::State::Valid);
    const size_t start = trailer.Start(), footer = good.size() - 12;
    JpegExifPlace exif;
    ASSERT_TRUE(FindJpegExif(good.data(), good.size(), exif) && exif.found);
    EXPECT_TRUE(JpegExifCanChangeSize(good.data(), good.size(), exif));

    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        AfcpTrailer::State state;
    };
    const Case cases[] = {
        {"the footer names the wrong header position",
         [&](Bytes& b) { Write32(b, footer + 4, static_cast<uint32_t>(start + 12), false); },
         AfcpTrailer::State::Unreadable},
        {"the footer's header position lies past the end", [&](Bytes& b) { Write32(b, footer + 4, 0xFFFFFFF0, false); },
         AfcpTrailer::State::Unreadable},
        {"the header has the other byte order's signature", [&](Bytes& b) { b[start + 3] = '!'; },
         AfcpTrailer::State::Unreadable},
        {"more entries than fit before the footer", [&](Bytes& b) { b[start + 6] = 200; },
         AfcpTrailer::State::Unreadable},
        {"an entry runs past the end", [&](Bytes& b) { Write32(b, start + 12 + 4, 0x10000, false); },
         AfcpTrailer::State::Unreadable},
        {"an entry lies in the EXIF segment",
         [&](Bytes& b) { Write32(b, start + 12 + 8, static_cast<uint32_t>(exif.block), false); },
         AfcpTrailer::State::Valid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes damaged = good;
        c.damage(damaged);
        EXPECT_EQ(AfcpTrailer::Find(damaged.data(), damaged.size()).state(), c.state);
        EXPECT_FALSE(JpegExifCanChangeSize(damaged.data(), damaged.size(), exif));

        // A segment of another size is refused before a byte is written.
        ExifImage image;
        ASSERT_TRUE(image.Load(damaged));
        ASSERT_EQ(image.SetItem(ExifItem{kDescription, 2, Ascii(std::string(400, 'x'))}), ExifStatus::Ok);
        Bytes out;
        EXPECT_EQ(image.Save(out), ExifStatus::FixedTrailer);
        EXPECT_TRUE(out.empty());

        // The same block, the same size: nothing moves, and the file comes out as it was.
        const Bytes block(damaged.begin() + exif.block, damaged.begin() + exif.block + exif.blockSize);
        VectorSink sink(out);
        EXPECT_TRUE(WriteJpegExif(damaged.data(), damaged.size(), exif, block, sink));
        EXPECT_EQ(out, damaged);
    }
}
