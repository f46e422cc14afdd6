// The EXIF handler on real files: cameras' files from public test collections, files written by
// exiftool, ImageMagick and ffmpeg, and damaged copies (tests/data/exif/real/, README.md there says
// what each holds). Each copy is written once through the handler as the engine writes it, and
// what exiftool and ffmpeg see is compared before and after (tests/readers/exif_state.py): its
// full listing, its validation warnings, the embedded thumbnails and previews, the decoded pixels
// and the stored image data. Only the items asked for may change; a block made for a file that
// had none may gain what exiftool requires of it. Every other difference is printed, with the
// file and the values before and after. Positions (offsets the writer computes) are compared as
// strictly as the rest and reported apart.
#include "props/exif/ExifEditor.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One item of a request, as the page sends it.
struct Write {
    const wchar_t* key;
    const wchar_t* type;
    const wchar_t* data;
};

// A tag that may change: to this value, or, when the value is null, to any value (what a new
// block needs).
struct Change {
    const char* tag;
    const char* value;
};

struct RealCase {
    const char* name;
    const wchar_t* file; // below tests/data/exif/real/
    Write write;
    std::vector<Change> changes;
};

// Failures name the case, not its members.
void PrintTo(const RealCase& c, std::ostream* out)
{
    *out << c.name;
}

// Longer than most cameras' own texts, so that it cannot take the old one's place.
constexpr const char kText[] = "A description longer than the one the camera wrote";
const Write kDescription{L"0x010E", L"ASCII", L"A description longer than the one the camera wrote"};
const Write kArtist{L"0x013B", L"ASCII", L"Anna Example"};
const Write kAltitude{L"0x0006", L"Rational", L"120"};
const Write kTaken{L"0x9003", L"ASCII", L"2022:03:04 05:06:07"};

const Change kNewDescription{"IFD0:ImageDescription", kText};
const Change kNewArtist{"IFD0:Artist", "Anna Example"};
const Change kNewAltitude{"GPS:GPSAltitude", "120 m"};
const Change kNewTaken{"ExifIFD:DateTimeOriginal", "2022:03:04 05:06:07"};

// What a new IFD0 of a JPEG needs (exiftool -validate), and a new EXIF directory of a JPEG and of
// a TIFF file; a TIFF's may not have the JPEG's components and pixel dimensions.
const std::vector<Change> kNewIfd0 = {{"File:ExifByteOrder", nullptr},
                                      {"IFD0:XResolution", nullptr},
                                      {"IFD0:YResolution", nullptr},
                                      {"IFD0:ResolutionUnit", nullptr},
                                      {"IFD0:YCbCrPositioning", nullptr}};
const std::vector<Change> kNewJpegExifIfd = {{"ExifIFD:ExifVersion", nullptr},
                                             {"ExifIFD:ComponentsConfiguration", nullptr},
                                             {"ExifIFD:FlashpixVersion", nullptr},
                                             {"ExifIFD:ColorSpace", nullptr}};
const std::vector<Change> kNewTiffExifIfd = {
    {"ExifIFD:ExifVersion", nullptr}, {"ExifIFD:FlashpixVersion", nullptr}, {"ExifIFD:ColorSpace", nullptr}};

std::vector<Change> Joined(std::initializer_list<std::vector<Change>> parts)
{
    std::vector<Change> all;
    for (const std::vector<Change>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The description, once per file: camera files with maker notes of many makes, previews in IFD2
// and in maker notes, a GPS pointer stored as SLONG, PNG with EXIF in eXIf and in a raw-profile
// text, TIFF and TIFF-based raw files, JPEGs with trailers, and files without any EXIF.
const RealCase kDescriptionCases[] = {
    {"Apple", L"Apple.jpg", kDescription, {kNewDescription}},
    {"Canon", L"Canon.jpg", kDescription, {kNewDescription}},
    {"Canon1DmkIII", L"Canon1DmkIII.jpg", kDescription, {kNewDescription}},
    {"Casio", L"Casio.jpg", kDescription, {kNewDescription}},
    {"Casio2", L"Casio2.jpg", kDescription, {kNewDescription}},
    {"FLIR", L"FLIR.jpg", kDescription, {kNewDescription}},
    {"FujiFilm", L"FujiFilm.jpg", kDescription, {kNewDescription}},
    {"GE", L"GE.jpg", kDescription, {kNewDescription}},
    {"GoPro", L"GoPro.jpg", kDescription, {kNewDescription}},
    {"InfiRay", L"InfiRay.jpg", kDescription, {kNewDescription}},
    {"JVC", L"JVC.jpg", kDescription, {kNewDescription}},
    {"JVC2", L"JVC2.jpg", kDescription, {kNewDescription}},
    {"Kodak", L"Kodak.jpg", kDescription, {kNewDescription}},
    {"Minolta", L"Minolta.jpg", kDescription, {kNewDescription}},
    {"Motorola", L"Motorola.jpg", kDescription, {kNewDescription}},
    {"Nikon", L"Nikon.jpg", kDescription, {kNewDescription}},
    {"NikonD2Hs", L"NikonD2Hs.jpg", kDescription, {kNewDescription}},
    {"NikonD70", L"NikonD70.jpg", kDescription, {kNewDescription}},
    {"Olympus", L"Olympus.jpg", kDescription, {kNewDescription}},
    {"Olympus2", L"Olympus2.jpg", kDescription, {kNewDescription}},
    {"OlympusE1", L"OlympusE1.jpg", kDescription, {kNewDescription}},
    {"Panasonic", L"Panasonic.jpg", kDescription, {kNewDescription}},
    {"Pentax", L"Pentax.jpg", kDescription, {kNewDescription}},
    {"Ricoh", L"Ricoh.jpg", kDescription, {kNewDescription}},
    {"Ricoh2", L"Ricoh2.jpg", kDescription, {kNewDescription}},
    {"Sanyo", L"Sanyo.jpg", kDescription, {kNewDescription}},
    {"Sigma", L"Sigma.jpg", kDescription, {kNewDescription}},
    {"Sony", L"Sony.jpg", kDescription, {kNewDescription}},
    {"unknown_maker_note", L"Unknown.jpg", kDescription, {kNewDescription}},
    {"preview_ifd", L"exiv2-bug444.jpg", kDescription, {kNewDescription}},
    {"gps_pointer_stored_as_slong", L"FurnaceCreekInn.jpg", kDescription, {kNewDescription}},
    {"gps", L"GPS.jpg", kDescription, {kNewDescription}},
    {"exiftool_test_image", L"ExifTool.jpg", kDescription, {kNewDescription}},
    {"xmp", L"XMP.jpg", kDescription, {kNewDescription}},
    {"mwg", L"MWG.jpg", kDescription, {kNewDescription}},
    {"png_raw_profile", L"ReaganSmallPng.png", kDescription, {kNewDescription}},
    {"tiff", L"ExifTool.tif", kDescription, {kNewDescription}},
    {"geotiff", L"GeoTiff.tif", kDescription, {kNewDescription}},
    {"dng", L"DNG.dng", kDescription, {kNewDescription}},
    {"nef", L"Nikon.nef", kDescription, {kNewDescription}},
    {"cr2", L"CanonRaw.cr2", kDescription, {kNewDescription}},
    {"exiftool_utf8_xmp_iptc_gps", L"exiftool-utf8.jpg", kDescription, {kNewDescription}},
    {"exiftool_empty_texts_zero_length_thumbnail", L"exiftool-empty.jpg", kDescription, {kNewDescription}},
    {"exiftool_preview_in_nikon_maker_note", L"exiftool-preview-nikon.jpg", kDescription, {kNewDescription}},
    {"exiftool_preview_in_pentax_maker_note", L"exiftool-preview-pentax.jpg", kDescription, {kNewDescription}},
    {"exiftool_preview_in_casio_maker_note", L"exiftool-preview-casio.jpg", kDescription, {kNewDescription}},
    {"exiftool_png_exif_with_maker_note", L"exiftool.png", kDescription, {kNewDescription}},
    {"exiftool_tiff_with_maker_note", L"exiftool.tif", kDescription, {kNewDescription}},
    {"exiftool_afcp_trailer_with_exif", L"exiftool-afcp.jpg", kDescription, {kNewDescription}},
    {"magick_png_exif_after_image_data", L"magick-exif.png", kDescription, {kNewDescription}},
    {"magick_png_raw_profile", L"magick-rawprofile.png", kDescription, {kNewDescription}},
    {"magick_tiff", L"magick.tif", kDescription, {kNewDescription}},
    {"ffmpeg_tiff", L"ffmpeg.tif", kDescription, {kNewDescription}},
    // No EXIF at all: the handler makes the block.
    {"afcp_trailer_without_exif", L"AFCP.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"fotostation_trailer_without_exif", L"FotoStation.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"photo_mechanic_without_exif", L"PhotoMechanic.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"iptc_without_exif", L"IPTC.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"extended_xmp_without_exif", L"ExtendedXMP.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"casio_qvci_without_exif", L"CasioQVCI.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"comment_only", L"Writer.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"png_xmp_without_exif", L"PNG.png", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"ffmpeg_jpeg", L"ffmpeg.jpg", kDescription, Joined({{kNewDescription}, kNewIfd0})},
    {"ffmpeg_png", L"ffmpeg.png", kDescription, Joined({{kNewDescription}, kNewIfd0})},
};

// Items of other directories: GPS (an existing directory, one reached by an SLONG pointer, a new
// one), the EXIF directory (existing, new in a JPEG, TIFF and PNG), and an Artist where there was
// none. exiftool's composite tags follow the items they are made of.
const RealCase kOtherItemCases[] = {
    {"gps_altitude_behind_slong_pointer",
     L"FurnaceCreekInn.jpg",
     kAltitude,
     {kNewAltitude, {"Composite:GPSAltitude", "120 m Below Sea Level"}}},
    {"gps_altitude_of_apple",
     L"Apple.jpg",
     kAltitude,
     {kNewAltitude, {"Composite:GPSAltitude", "120 m Above Sea Level"}}},
    {"gps_altitude_added", L"GPS.jpg", kAltitude, {kNewAltitude}},
    {"gps_altitude_of_utf8_file", L"exiftool-utf8.jpg", kAltitude, {kNewAltitude}},
    {"gps_altitude_in_tiff", L"exiftool.tif", kAltitude, {kNewAltitude}},
    {"gps_directory_made", L"Canon.jpg", kAltitude, {kNewAltitude, {"GPS:GPSVersionID", nullptr}}},
    {"date_taken_of_nikon", L"Nikon.jpg", kTaken, {kNewTaken}},
    {"date_taken_with_subseconds",
     L"Canon1DmkIII.jpg",
     kTaken,
     {kNewTaken, {"Composite:SubSecDateTimeOriginal", "2022:03:04 05:06:07.81"}}},
    {"date_taken_in_png", L"exiftool.png", kTaken, {kNewTaken}},
    {"exif_directory_made_in_tiff", L"ExifTool.tif", kTaken, Joined({{kNewTaken}, kNewTiffExifIfd})},
    {"exif_directory_made_in_ffmpeg_tiff", L"ffmpeg.tif", kTaken, Joined({{kNewTaken}, kNewTiffExifIfd})},
    {"exif_block_made_in_ffmpeg_jpeg", L"ffmpeg.jpg", kTaken,
     Joined({{kNewTaken, {"ExifIFD:ExifImageWidth", "64"}, {"ExifIFD:ExifImageHeight", "48"}},
             kNewIfd0,
             kNewJpegExifIfd})},
    {"exif_block_made_in_ffmpeg_png", L"ffmpeg.png", kTaken, Joined({{kNewTaken}, kNewIfd0, kNewJpegExifIfd})},
    {"artist_added_to_pentax", L"Pentax.jpg", kArtist, {kNewArtist}},
    {"artist_added_to_nikon_with_preview", L"NikonD70.jpg", kArtist, {kNewArtist}},
    {"artist_added_beside_preview_ifd", L"exiv2-bug444.jpg", kArtist, {kNewArtist}},
    {"artist_added_to_sony", L"Sony.jpg", kArtist, {kNewArtist}},
    {"artist_added_to_magick_tiff", L"magick.tif", kArtist, {kNewArtist}},
    {"artist_added_to_ffmpeg_png", L"ffmpeg.png", kArtist, Joined({{kNewArtist}, kNewIfd0})},
};

// Damaged copies of camera files, one fault each: the write may fail, leaving every byte, or
// succeed under the same rule as any other file.
const RealCase kDamagedCases[] = {
    {"app1_cut_in_the_maker_note", L"damaged-truncated-app1.jpg", kDescription, {kNewDescription}},
    {"exif_directory_past_the_end", L"damaged-ifd-offset.jpg", kDescription, {kNewDescription}},
    {"value_past_the_end", L"damaged-value-offset.jpg", kDescription, {kNewDescription}},
    {"maker_note_count_past_the_end", L"damaged-maker-note-count.jpg", kDescription, {kNewDescription}},
};

// What exif_state.py reports of a file.
struct FileState {
    std::map<std::string, std::vector<std::string>> tags; // group:name to its values, in order
    std::vector<std::string> order;                       // the names as first listed
    std::vector<std::string> warnings;
    std::map<std::string, std::string> embedded;
    std::string pixels;
    std::string stored;
    size_t size = 0;
};

std::string Text(JsonView value)
{
    std::wstring text;
    value.GetText(text);
    return Utf16ToUtf8(text);
}

// False, with the reason, when the reader cannot run here or gave no state.
bool ReadState(const std::wstring& path, FileState& state, std::string& why)
{
    const ReaderResult run = RunReader(L"exif_state.py", {path});
    if (!run.found) {
        why = run.missing;
        return false;
    }
    JsonWrapper document;
    if (run.exitCode != 0 || !document.Parse(Utf8ToUtf16(run.out)) || !document.View().IsObject()) {
        why = "exif_state.py failed (" + std::to_string(run.exitCode) + "): " + run.err;
        return false;
    }
    const JsonView root = document.View();
    for (const JsonView pair : root.Member(L"tags")) {
        std::vector<std::string> parts;
        for (const JsonView part : pair)
            parts.push_back(Text(part));
        if (parts.size() != 2) continue;
        // The file system's own entries (name, folder, size, times, permissions) are not the file's.
        if (parts[0].rfind("System:", 0) == 0) continue;
        if (!state.tags.count(parts[0])) state.order.push_back(parts[0]);
        state.tags[parts[0]].push_back(parts[1]);
    }
    for (const JsonView warning : root.Member(L"warnings"))
        state.warnings.push_back(Text(warning));
    for (const JsonView image : root.Member(L"embedded"))
        state.embedded[Utf16ToUtf8(image.Name())] = Text(image);
    state.pixels = Text(root.Member(L"pixels"));
    state.stored = Text(root.Member(L"stored"));
    state.size = ReadAll(path).size();
    return true;
}

std::string Values(const std::vector<std::string>* values)
{
    if (values == nullptr) return "(absent)";
    std::string out;
    for (const std::string& value : *values)
        out += (out.empty() ? "\"" : ", \"") + value + "\"";
    return out;
}

// Offsets the writer computes; when one moves, the embedded images and the stored image data say
// whether what it points at moved with it.
bool IsPosition(const std::string& tag)
{
    const auto endsWith = [&tag](const std::string& end) {
        return tag.size() >= end.size() && tag.compare(tag.size() - end.size(), end.size(), end) == 0;
    };
    return endsWith("Offset") || endsWith("Offsets") || endsWith("Start");
}

// exiftool prints a multi-picture image's start as the position of the segment that holds the
// offsets plus the stored offset. That segment follows the EXIF one, so when the EXIF segment
// grows the printed start moves by the same amount while the stored offset, and what it leads
// to, stay as they were.
bool MovedWithItsSegment(const std::string& tag, const std::vector<std::string>* old,
                         const std::vector<std::string>* now, size_t growth)
{
    if (tag.compare(0, 7, "MPImage") != 0 || old == nullptr || now == nullptr || old->size() != 1 || now->size() != 1)
        return false;
    const auto endsWith = [&tag](const std::string& end) {
        return tag.size() >= end.size() && tag.compare(tag.size() - end.size(), end.size(), end) == 0;
    };
    if (!endsWith(":MPImageStart")) return false;
    const long long was = std::atoll(old->front().c_str()), is = std::atoll(now->front().c_str());
    return was > 0 && is - was == static_cast<long long>(growth);
}

// Every tag that differs and is not one the write may change, as lines "tag: before -> after";
// the positions alone, or every other tag.
std::string ListingDifferences(const FileState& before, const FileState& after, const std::vector<Change>& changes,
                               bool positions)
{
    const auto allowed = [&changes](const std::string& tag) {
        for (const Change& change : changes) {
            if (tag == change.tag) return true;
        }
        return false;
    };
    std::vector<std::string> names = before.order;
    for (const std::string& name : after.order) {
        if (!before.tags.count(name)) names.push_back(name);
    }
    std::ostringstream out;
    for (const std::string& name : names) {
        if (allowed(name) || IsPosition(name) != positions) continue;
        const auto was = before.tags.find(name);
        const auto is = after.tags.find(name);
        const std::vector<std::string>* old = was == before.tags.end() ? nullptr : &was->second;
        const std::vector<std::string>* now = is == after.tags.end() ? nullptr : &is->second;
        if (old != nullptr && now != nullptr && *old == *now) continue;
        if (positions && MovedWithItsSegment(name, old, now, after.size - before.size)) continue;
        out << "  "
            << (old == nullptr   ? "appeared "
                : now == nullptr ? "disappeared "
                                 : "changed ")
            << name << ": " << Values(old) << " -> " << Values(now) << "\n";
    }
    return out.str();
}

// The tags the write was to change that do not read as meant.
std::string MissedChanges(const FileState& after, const std::vector<Change>& changes)
{
    std::ostringstream out;
    for (const Change& change : changes) {
        if (change.value == nullptr) continue;
        const auto is = after.tags.find(change.tag);
        const std::vector<std::string> meant{change.value};
        if (is == after.tags.end() || is->second != meant)
            out << "  " << change.tag << " reads " << Values(is == after.tags.end() ? nullptr : &is->second)
                << ", meant \"" << change.value << "\"\n";
    }
    return out.str();
}

std::string NewWarnings(const FileState& before, const FileState& after)
{
    std::vector<std::string> old = before.warnings;
    std::ostringstream out;
    for (const std::string& warning : after.warnings) {
        const auto known = std::find(old.begin(), old.end(), warning);
        if (known != old.end())
            old.erase(known);
        else
            out << "  " << warning << "\n";
    }
    return out.str();
}

std::string EmbeddedDifferences(const FileState& before, const FileState& after)
{
    std::ostringstream out;
    for (const auto& [name, image] : before.embedded) {
        const auto is = after.embedded.find(name);
        if (is == after.embedded.end())
            out << "  " << name << " is gone (was " << image << ")\n";
        else if (is->second != image)
            out << "  " << name << ": " << image << " -> " << is->second << "\n";
    }
    for (const auto& [name, image] : after.embedded) {
        if (!before.embedded.count(name)) out << "  " << name << " appeared: " << image << "\n";
    }
    return out.str();
}

// Writes the case's item through the handler; true when the write succeeded.
bool WriteItem(const RealCase& c, const std::wstring& path, std::wstring& error)
{
    const JsonObject request =
        Object().Object(c.write.key, Object().Text(L"type", c.write.type).Text(L"data", c.write.data));
    ExifEditor editor;
    return editor.SetProps(path, request.Document().View(), error);
}

// A failure for each kind of difference found, its lines printed as they are.
void Report(const std::string& file, const std::string& what, const std::string& lines)
{
    if (!lines.empty()) ADD_FAILURE() << file << ": " << what << ":\n" << lines;
}

// Compares a written copy with its state before, failing with every difference found.
void ExpectOnlyTheItemChanged(const RealCase& c, const FileState& before, const std::wstring& path)
{
    FileState after;
    std::string why;
    ASSERT_TRUE(ReadState(path, after, why)) << why;
    const std::string file = Utf16ToUtf8(c.file) + ", " + Utf16ToUtf8(c.write.key) + " written";
    Report(file, "the items written do not read as meant", MissedChanges(after, c.changes));
    Report(file, "exiftool lists other tags changed", ListingDifferences(before, after, c.changes, false));
    // Kept apart so that they read as what they are; they fail all the same.
    Report(file, "exiftool lists positions moved (offsets the writer computes)",
           ListingDifferences(before, after, c.changes, true));
    Report(file, "exiftool -validate warns of more than before", NewWarnings(before, after));
    Report(file, "the embedded images differ", EmbeddedDifferences(before, after));
    if (after.pixels != before.pixels)
        ADD_FAILURE() << file << ": ffmpeg decodes other pixels: " << before.pixels << " -> " << after.pixels;
    if (after.stored != before.stored)
        ADD_FAILURE() << file << ": the stored image data differ: MD5 " << before.stored << " -> " << after.stored;
}

class WritingOneItemOfARealFile : public ::testing::TestWithParam<RealCase> {};

TEST_P(WritingOneItemOfARealFile, ChangesThatItemAndNothingElseThatExiftoolOrFfmpegSees)
{
    const RealCase& c = GetParam();
    const TempDir dir;
    const std::wstring path = CopyFixture(std::wstring(L"exif/real/") + c.file, dir);
    FileState before;
    std::string why;
    if (!ReadState(path, before, why)) GTEST_SKIP() << why;

    std::wstring error;
    ASSERT_TRUE(WriteItem(c, path, error)) << Utf16ToUtf8(c.file) << ": " << Utf16ToUtf8(error);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{c.file});
    ExpectOnlyTheItemChanged(c, before, path);
}

INSTANTIATE_TEST_SUITE_P(Description, WritingOneItemOfARealFile, ::testing::ValuesIn(kDescriptionCases),
                         [](const ::testing::TestParamInfo<RealCase>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(OtherItems, WritingOneItemOfARealFile, ::testing::ValuesIn(kOtherItemCases),
                         [](const ::testing::TestParamInfo<RealCase>& info) { return info.param.name; });

class WritingOneItemOfADamagedFile : public ::testing::TestWithParam<RealCase> {};

TEST_P(WritingOneItemOfADamagedFile, FailsLeavingEveryByteOrChangesOnlyThatItem)
{
    const RealCase& c = GetParam();
    const TempDir dir;
    const std::wstring path = CopyFixture(std::wstring(L"exif/real/") + c.file, dir);
    FileState before;
    std::string why;
    if (!ReadState(path, before, why)) GTEST_SKIP() << why;
    const std::string bytes = ReadAll(path);

    std::wstring error;
    const bool written = WriteItem(c, path, error);
    EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{c.file});
    if (!written) {
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(ReadAll(path) == bytes) << Utf16ToUtf8(c.file) << ": a failed write changed the file";
        return;
    }
    ExpectOnlyTheItemChanged(c, before, path);
}

INSTANTIATE_TEST_SUITE_P(Damaged, WritingOneItemOfADamagedFile, ::testing::ValuesIn(kDamagedCases),
                         [](const ::testing::TestParamInfo<RealCase>& info) { return info.param.name; });

} // namespace
