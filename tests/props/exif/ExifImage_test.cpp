// The image-metadata layer on the bytes of real files made by exiftool and of small blocks built
// here for what exiftool does not write (strip thumbnails, sub-directories, unknown tags and
// types): what it lists, what it refuses to set, and that a write changes the set item and the
// EXIF block only, keeping maker notes, thumbnails and image data readable where they were.
#include "props/exif/ExifItemText.h"
#include "props/exif/JpegContainer.h"
#include "props/exif/PngContainer.h"
#include "tests/props/exif/ExifTestBytes.h"
#include "tests/props/exif/PngChunks.h"
#include "tests/support/Fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

const Latin1CodePage kLatin1;

Bytes FixtureBytes(const std::wstring& name)
{
    const std::string text = ReadAll(FixturePath(L"exif/" + name));
    return Bytes(text.begin(), text.end());
}

Bytes Ascii(const std::string& text)
{
    Bytes value(text.begin(), text.end());
    value.push_back(0);
    return value;
}

std::wstring Shown(const ExifImage& image, uint32_t id)
{
    return FormatItemValue(image, id, kLatin1).text;
}

std::map<uint32_t, ExifItem> Items(const ExifImage& image)
{
    std::map<uint32_t, ExifItem> items;
    for (uint32_t id : image.ItemIds()) {
        ExifItem item;
        EXPECT_TRUE(image.GetItem(id, item)) << std::hex << id;
        items[id] = item;
    }
    return items;
}

// Items whose values are offsets the writer computes.
bool Computed(uint32_t id)
{
    return (id <= 0xFFFF && IsStructuralTag(static_cast<uint16_t>(id))) || id == 0x5028;
}

// Every item but the computed ones and `except` is the same in both.
void ExpectSameItems(const ExifImage& before, const ExifImage& after, uint32_t except, const std::wstring& what)
{
    std::map<uint32_t, ExifItem> left = Items(before);
    std::map<uint32_t, ExifItem> right = Items(after);
    for (const auto& [id, item] : left) {
        if (id == except) continue;
        ASSERT_EQ(right.count(id), 1u) << what.c_str() << std::hex << " lost 0x" << id;
        if (Computed(id)) continue;
        EXPECT_EQ(right[id].type, item.type) << what.c_str() << std::hex << " 0x" << id;
        EXPECT_EQ(right[id].value, item.value) << what.c_str() << std::hex << " 0x" << id;
    }
}

ExifStatus Set(ExifImage& image, uint32_t id, uint16_t type, Bytes value)
{
    return image.SetItem(ExifItem{id, type, std::move(value)});
}

Bytes Saved(const ExifImage& image)
{
    Bytes out;
    EXPECT_EQ(image.Save(out), ExifStatus::Ok);
    return out;
}

// The TIFF block of a JPEG's EXIF segment.
Bytes BlockOf(const Bytes& jpeg)
{
    JpegExifPlace place;
    if (!FindJpegExif(jpeg.data(), jpeg.size(), place) || !place.found) return {};
    return Bytes(jpeg.begin() + place.block, jpeg.begin() + place.block + place.blockSize);
}

// A little-endian TIFF block built from directories and free-standing byte runs: directories are
// laid out in order from offset 8, each followed by its longer values; the runs come last. An
// entry can be made to hold the offsets of another directory or of runs.
class BlockBuilder {
public:
    struct Field {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        Bytes value;
    };
    size_t Directory(std::vector<Field> fields)
    {
        directories_.push_back({std::move(fields), {}, {}, -1});
        return directories_.size() - 1;
    }
    size_t Run(Bytes bytes)
    {
        runs_.push_back(std::move(bytes));
        return runs_.size() - 1;
    }
    void PointToDirectory(size_t directory, uint16_t tag, size_t target)
    {
        directories_[directory].toDirectory[tag] = target;
    }
    void PointToRuns(size_t directory, uint16_t tag, std::vector<size_t> runs)
    {
        directories_[directory].toRuns[tag] = std::move(runs);
    }
    void Next(size_t directory, size_t next) { directories_[directory].next = static_cast<int>(next); }

    Bytes Build()
    {
        size_t at = 8;
        std::vector<size_t> directoryAt;
        for (const Directory_& directory : directories_) {
            directoryAt.push_back(at);
            at += 2 + 12 * directory.fields.size() + 4;
            for (const Field& field : directory.fields) {
                const size_t size = directory.toRuns.count(field.tag)        ? 4 * directory.toRuns.at(field.tag).size()
                                    : directory.toDirectory.count(field.tag) ? 4
                                                                             : field.value.size();
                at += size > 4 ? (size + 1) / 2 * 2 : 0;
            }
        }
        runAt_.clear();
        for (const Bytes& run : runs_) {
            runAt_.push_back(at);
            at += (run.size() + 1) / 2 * 2;
        }
        Bytes out(at, 0);
        out[0] = out[1] = 'I';
        Put(out, 2, 42, 2);
        Put(out, 4, static_cast<uint32_t>(directoryAt.empty() ? 0 : directoryAt[0]), 4);
        for (size_t d = 0; d < directories_.size(); ++d) {
            const Directory_& directory = directories_[d];
            size_t entry = directoryAt[d];
            size_t value = entry + 2 + 12 * directory.fields.size() + 4;
            Put(out, entry, static_cast<uint32_t>(directory.fields.size()), 2);
            for (const Field& field : directory.fields) {
                Bytes bytes = field.value;
                if (directory.toDirectory.count(field.tag))
                    bytes = Little32({static_cast<uint32_t>(directoryAt[directory.toDirectory.at(field.tag)])});
                if (directory.toRuns.count(field.tag)) {
                    bytes.clear();
                    for (size_t run : directory.toRuns.at(field.tag)) {
                        const Bytes offset = Little32({static_cast<uint32_t>(runAt_[run])});
                        bytes.insert(bytes.end(), offset.begin(), offset.end());
                    }
                }
                Put(out, entry + 2, field.tag, 2);
                Put(out, entry + 4, field.type, 2);
                Put(out, entry + 6, field.count, 4);
                if (bytes.size() <= 4) {
                    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(entry + 10));
                } else {
                    Put(out, entry + 10, static_cast<uint32_t>(value), 4);
                    std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(value));
                    value += (bytes.size() + 1) / 2 * 2;
                }
                entry += 12;
            }
            const int next = directory.next;
            Put(out, entry + 2, next < 0 ? 0 : static_cast<uint32_t>(directoryAt[static_cast<size_t>(next)]), 4);
        }
        for (size_t r = 0; r < runs_.size(); ++r)
            std::copy(runs_[r].begin(), runs_[r].end(), out.begin() + static_cast<std::ptrdiff_t>(runAt_[r]));
        return out;
    }
    size_t RunAt(size_t run) const { return runAt_[run]; }

private:
    struct Directory_ {
        std::vector<Field> fields;
        std::map<uint16_t, size_t> toDirectory;
        std::map<uint16_t, std::vector<size_t>> toRuns;
        int next;
    };
    static void Put(Bytes& out, size_t at, uint32_t value, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    std::vector<Directory_> directories_;
    std::vector<Bytes> runs_;
    std::vector<size_t> runAt_;
};

// The smallest JPEG this layer walks: start, the EXIF segment, a scan header and the end.
Bytes JpegWith(const Bytes& block)
{
    const size_t length = block.size() + 8;
    const uint8_t head[] = {
        0xFF, 0xD8, 0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 'E', 'x',
        'i',  'f',  0,    0};
    const uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x02, 'S', 'C', 'A', 'N', 0xFF, 0xD9};
    Bytes out(std::begin(head), std::end(head));
    out.resize(out.size() + block.size() + sizeof scan);
    std::copy(block.begin(), block.end(), out.begin() + sizeof head);
    std::copy(std::begin(scan), std::end(scan), out.end() - sizeof scan);
    return out;
}

// The offsets below the old size where two blocks differ, outside the given ranges: the bytes a
// write may change (the header's pointer, rewritten tables, the old places of changed values).
std::vector<size_t> ChangedOutside(const Bytes& before, const Bytes& after, const std::vector<SourceRange>& allowed)
{
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        const bool inside = std::any_of(allowed.begin(), allowed.end(), [i](const SourceRange& range) {
            return i >= range.offset && i < static_cast<size_t>(range.offset) + range.length;
        });
        if (!inside) changed.push_back(i);
    }
    return changed;
}

// A directory's table, and the old values of the given tags in it.
void AddTableAndValues(const TiffDirectory& directory, IfdKind kind, const std::vector<uint16_t>& tags,
                       std::vector<SourceRange>& ranges)
{
    const TiffIfd& ifd = directory.Ifd(kind);
    ranges.push_back({ifd.sourceOffset, static_cast<uint32_t>(2 + 12 * ifd.sourceCount + 4)});
    for (uint16_t tag : tags) {
        const TiffEntry* entry = ifd.Find(tag);
        if (entry != nullptr && entry->ValueSize() > 4)
            ranges.push_back({entry->valueOffset, static_cast<uint32_t>(entry->ValueSize())});
    }
}

} // namespace

TEST(ExifImage, ListsTheItemsOfEveryDirectoryUnderTheirIdentifiersInBothByteOrders)
{
    const struct {
        uint32_t id;
        uint16_t type;
        uint32_t count;
        std::wstring text;
    } expected[] = {
        {0x010F, 2, 15, L"Fixture Optics"},
        {0x0112, 3, 1, L"6"},
        {0x011A, 5, 1, L"1"},
        {0x829A, 5, 1, L"1/125"},
        {0x829D, 5, 1, L"14/5"},
        {0x8827, 3, 1, L"200"},
        {0x9000, 7, 4, L"30 32 33 32"},
        {0x9003, 2, 20, L"2021:06:14 09:08:07"},
        {0xA001, 3, 1, L"65535"},
        {0x0000, 1, 4, L"02 03 00 00"},
        {0x0001, 2, 2, L"N"},
        {0x0002, 5, 3, L"48, 51, 756/25"},
        {0x5023, 3, 1, L"6"},
        {0x502D, 5, 1, L"72"},
        {0x0202, 4, 1, L"205"},
    };
    std::vector<uint32_t> firstIds;
    for (const wchar_t* name : {L"le.jpg", L"be.jpg"}) {
        ExifImage image;
        ASSERT_TRUE(image.Load(FixtureBytes(name))) << name;
        EXPECT_EQ(image.Format(), ImageFormat::Jpeg);
        for (const auto& e : expected) {
            const ItemValueText shown = FormatItemValue(image, e.id, kLatin1);
            EXPECT_EQ(shown.type, e.type) << name << std::hex << " 0x" << e.id;
            EXPECT_EQ(shown.count, e.count) << name << std::hex << " 0x" << e.id;
            EXPECT_EQ(shown.text, e.text) << name << std::hex << " 0x" << e.id;
        }
        ExifItem thumbnail;
        ASSERT_TRUE(image.GetItem(kItemThumbnailData, thumbnail)) << name;
        ASSERT_EQ(thumbnail.value.size(), 205u);
        EXPECT_EQ(thumbnail.value[0], 0xFF);
        EXPECT_EQ(thumbnail.value[1], 0xD8);
        EXPECT_EQ(thumbnail.value[204], 0xD9);
        if (firstIds.empty())
            firstIds = image.ItemIds();
        else
            EXPECT_EQ(image.ItemIds(), firstIds) << name;
    }
}

TEST(ExifImage, ListsInteroperabilityItemsUnderTheirOwnIdentifiersBesideTheGpsOnes)
{
    for (const wchar_t* name : {L"maker-le.jpg", L"maker-be.jpg"}) {
        ExifImage image;
        ASSERT_TRUE(image.Load(FixtureBytes(name))) << name;
        EXPECT_EQ(Shown(image, 0x5041), L"R98") << name;
        EXPECT_EQ(Shown(image, 0x5042), L"30 31 30 30") << name;
        EXPECT_EQ(Shown(image, 0x0001), L"N") << name;
        EXPECT_EQ(FormatItemValue(image, 0x927C, kLatin1).length, 124u) << name;
        ExifItem pointer;
        EXPECT_TRUE(image.GetItem(0xA005, pointer)) << name;
    }
}

TEST(ExifImage, ListsTheImageDirectoryOfTiffFilesAndTheirExifAndGpsItems)
{
    const struct {
        const wchar_t* name;
        uint32_t id;
        std::wstring text;
    } cases[] = {
        {L"exif.tif", 0x0100, L"8"},
        {L"exif.tif", 0x0103, L"32773"},
        {L"exif.tif", 0x013B, L"Anna Example"},
        {L"exif.tif", 0x829A, L"1/125"},
        {L"maker-be.tif", 0x0102, L"8, 8, 8"},
        {L"maker-be.tif", 0x0111, L"534"},
        {L"maker-be.tif", 0x0002, L"48, 51, 756/25"},
        {L"maker-be.tif", 0x010F, L"Canon"},
        {L"exif.png", 0x010F, L"Fixture Optics"},
        {L"exif.png", 0x9003, L"2021:06:14 09:08:07"},
    };
    for (const auto& c : cases) {
        ExifImage image;
        ASSERT_TRUE(image.Load(FixtureBytes(c.name))) << c.name;
        EXPECT_EQ(Shown(image, c.id), c.text) << c.name << std::hex << " 0x" << c.id;
        ExifItem none;
        EXPECT_FALSE(image.GetItem(kItemThumbnailData, none)) << c.name;
    }
}

TEST(ExifImage, LeavesOutDamagedValuesEndsLoopsAndWritesThemSound)
{
    const struct {
        const wchar_t* name;
        uint32_t missing;
        uint32_t kept;
    } cases[] = {
        {L"bad-offset.jpg", 0x010E, 0x010F},
        {L"bad-count.jpg", 0x829A, 0x829D},
        {L"ifd-loop.jpg", 0, 0x5023},
    };
    for (const auto& c : cases) {
        ExifImage image;
        ASSERT_TRUE(image.Load(FixtureBytes(c.name))) << c.name;
        ExifItem item;
        if (c.missing != 0) {
            EXPECT_FALSE(image.GetItem(c.missing, item)) << c.name;
        }
        EXPECT_TRUE(image.GetItem(c.kept, item)) << c.name;

        ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
        const Bytes saved = Saved(image);
        ExifImage again;
        ASSERT_TRUE(again.Load(saved)) << c.name;
        EXPECT_EQ(Shown(again, 0x013B), L"Someone Else") << c.name;
        ExpectSameItems(image, again, 0x013B, c.name);
        // The chain is kept as it was, its loop too: readers end it as this layer does.
        TiffDirectory directory, original;
        const Bytes block = BlockOf(saved), oldBlock = BlockOf(FixtureBytes(c.name));
        ASSERT_TRUE(directory.Parse(block.data(), block.size(), TiffDirectory::Chain::ExifThumbnail));
        ASSERT_TRUE(original.Parse(oldBlock.data(), oldBlock.size(), TiffDirectory::Chain::ExifThumbnail));
        EXPECT_EQ(directory.Ifd(IfdKind::Ifd1).next, original.Ifd(IfdKind::Ifd1).next) << c.name;
    }
}

TEST(ExifImage, WritingChangesTheSetItemAndNothingOutsideTheExifSegment)
{
    for (const wchar_t* name : {L"le.jpg", L"be.jpg", L"maker-le.jpg", L"maker-be.jpg"}) {
        const Bytes original = FixtureBytes(name);
        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
        EXPECT_TRUE(image.Edited());
        const Bytes saved = Saved(image);

        JpegExifPlace before, after;
        ASSERT_TRUE(FindJpegExif(original.data(), original.size(), before) && before.found);
        ASSERT_TRUE(FindJpegExif(saved.data(), saved.size(), after) && after.found);
        EXPECT_EQ(after.segment, before.segment) << name;
        EXPECT_TRUE(std::equal(original.begin(), original.begin() + before.segment, saved.begin())) << name;
        const size_t tail = original.size() - before.segment - before.segmentSize;
        EXPECT_TRUE(std::equal(original.end() - tail, original.end(), saved.end() - tail)) << name;

        ExifImage again;
        ASSERT_TRUE(again.Load(saved));
        EXPECT_EQ(Shown(again, 0x013B), L"Someone Else") << name;
        ExpectSameItems(image, again, 0x013B, name);
    }
}

TEST(ExifImage, SettingAnItemToTheValueItHasChangesNothing)
{
    const Bytes original = FixtureBytes(L"be.jpg");
    ExifImage image;
    ASSERT_TRUE(image.Load(original));
    ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Anna Example")), ExifStatus::Ok);
    ASSERT_EQ(Set(image, 0x829A, 5, Little32({1, 125})), ExifStatus::Ok);
    EXPECT_FALSE(image.Edited());
    EXPECT_EQ(Saved(image), original);
}

TEST(ExifImage, KeepsAMakerNoteAtItsOffsetWhenEverythingAroundItMoves)
{
    for (const wchar_t* name : {L"maker-le.jpg", L"maker-be.jpg"}) {
        const Bytes original = FixtureBytes(name);
        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        // Longer values before the note and new items in every directory push the rest around.
        ASSERT_EQ(Set(image, 0x010E, 2, Ascii(std::string(400, 'd'))), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x9C9B, 1, Bytes(50, 7)), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x9286, 7, Bytes(90, 'c')), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x0006, 5, Little32({120, 1})), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x5041, 2, Ascii("R03")), ExifStatus::Ok);
        const Bytes saved = Saved(image);

        TiffDirectory before, after;
        const Bytes oldBlock = BlockOf(original), newBlock = BlockOf(saved);
        ASSERT_TRUE(before.Parse(oldBlock.data(), oldBlock.size(), TiffDirectory::Chain::ExifThumbnail));
        ASSERT_TRUE(after.Parse(newBlock.data(), newBlock.size(), TiffDirectory::Chain::ExifThumbnail));
        const TiffEntry* oldNote = before.Ifd(IfdKind::Exif).Find(kTagMakerNote);
        const TiffEntry* newNote = after.Ifd(IfdKind::Exif).Find(kTagMakerNote);
        ASSERT_TRUE(oldNote != nullptr && newNote != nullptr) << name;
        EXPECT_EQ(newNote->valueOffset, oldNote->valueOffset) << name;
        EXPECT_EQ(std::memcmp(after.ValueData(*newNote), before.ValueData(*oldNote), oldNote->ValueSize()), 0) << name;
        // Nothing moved: only the tables, the header and the changed values' old places differ.
        std::vector<SourceRange> allowed = {{4, 4}};
        AddTableAndValues(before, IfdKind::Ifd0, {0x010E, 0x9C9B}, allowed);
        AddTableAndValues(before, IfdKind::Exif, {0x9286}, allowed);
        AddTableAndValues(before, IfdKind::Gps, {0x0006}, allowed);
        AddTableAndValues(before, IfdKind::Interop, {}, allowed);
        EXPECT_EQ(ChangedOutside(oldBlock, newBlock, allowed), std::vector<size_t>()) << name;

        ExifImage again;
        ASSERT_TRUE(again.Load(saved));
        EXPECT_EQ(Shown(again, 0x5041), L"R03") << name;
        EXPECT_EQ(Shown(again, 0x0006), L"120") << name;
        EXPECT_EQ(FormatItemValue(again, 0x010E, kLatin1).length, 401u) << name;
    }
}

TEST(ExifImage, KeepsTheBytesOfATiffFileInPlaceAndChangesOnlyTablesAndChangedValues)
{
    for (const wchar_t* name : {L"exif.tif", L"maker-be.tif"}) {
        const Bytes original = FixtureBytes(name);
        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x9003, 2, Ascii("2022:01:02 03:04:05")), ExifStatus::Ok);
        ASSERT_EQ(Set(image, 0x0006, 5, Little32({120, 1})), ExifStatus::Ok);
        const Bytes saved = Saved(image);

        ASSERT_GT(saved.size(), original.size());
        // The image data and the other values stay put.
        TiffDirectory before;
        ASSERT_TRUE(before.Parse(original.data(), original.size(), TiffDirectory::Chain::TiffPages));
        std::vector<SourceRange> allowed = {{4, 4}};
        AddTableAndValues(before, IfdKind::Ifd0, {0x013B}, allowed);
        AddTableAndValues(before, IfdKind::Exif, {0x9003}, allowed);
        if (before.Ifd(IfdKind::Gps).present) AddTableAndValues(before, IfdKind::Gps, {0x0006}, allowed);
        EXPECT_EQ(ChangedOutside(original, saved, allowed), std::vector<size_t>()) << name;
        ExifImage again;
        ASSERT_TRUE(again.Load(saved));
        EXPECT_EQ(Shown(again, 0x013B), L"Someone Else") << name;
        EXPECT_EQ(Shown(again, 0x9003), L"2022:01:02 03:04:05") << name;
        EXPECT_EQ(Shown(again, 0x0006), L"120") << name;
        EXPECT_EQ(Shown(again, 0x0000), L"02 03 00 00") << name;
        ExpectSameItems(image, again, 0, name);
    }
}

TEST(ExifImage, ReplacesThePngExifChunkOrPutsANewOneBeforeTheImageData)
{
    const Bytes withExif = FixtureBytes(L"exif.png");
    // The same file without its eXIf chunk.
    Bytes without;
    {
        PngExifPlace place;
        ASSERT_TRUE(FindPngExif(withExif.data(), withExif.size(), place) && place.found);
        without.assign(withExif.begin(), withExif.begin() + place.chunk);
        without.insert(without.end(), withExif.begin() + place.chunk + place.chunkSize, withExif.end());
    }
    for (const Bytes& original : {withExif, without}) {
        ExifImage image;
        ASSERT_TRUE(image.Load(original));
        ASSERT_TRUE(image.CanWrite());
        ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
        const Bytes saved = Saved(image);

        std::vector<PngChunk> before = PngChunks(original);
        std::vector<PngChunk> after = PngChunks(saved);
        std::vector<std::string> types;
        for (const PngChunk& chunk : after) {
            EXPECT_TRUE(chunk.crcValid) << chunk.type;
            types.push_back(chunk.type);
        }
        EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "pHYs", "eXIf", "IDAT", "IEND"}));
        // Every other chunk is as it was.
        before.erase(std::remove_if(before.begin(), before.end(), [](const PngChunk& c) { return c.type == "eXIf"; }),
                     before.end());
        after.erase(std::remove_if(after.begin(), after.end(), [](const PngChunk& c) { return c.type == "eXIf"; }),
                    after.end());
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(after[i].data, before[i].data) << after[i].type;
        ExifImage again;
        ASSERT_TRUE(again.Load(saved));
        EXPECT_EQ(Shown(again, 0x013B), L"Someone Else");
    }
}

TEST(ExifImage, GivesAJpegWithoutExifANewSegmentAfterItsJfifSegment)
{
    const Bytes original = FixtureBytes(L"plain.jpg");
    ExifImage image;
    ASSERT_TRUE(image.Load(original));
    EXPECT_EQ(image.ItemCount(), 0u);
    EXPECT_TRUE(image.CanWrite());
    EXPECT_EQ(Set(image, 0x013B, 2, Ascii("Anna Example")), ExifStatus::Ok);
    EXPECT_EQ(Set(image, 0x9003, 2, Ascii("2021:06:14 09:08:07")), ExifStatus::Ok);
    EXPECT_EQ(Set(image, 0x0006, 5, Little32({120, 1})), ExifStatus::Ok);
    EXPECT_EQ(Set(image, 0x5041, 2, Ascii("R98")), ExifStatus::Ok);
    // A thumbnail item needs a thumbnail.
    EXPECT_EQ(Set(image, 0x5029, 3, {1, 0}), ExifStatus::PropertyNotSupported);
    const Bytes saved = Saved(image);

    JpegExifPlace place;
    ASSERT_TRUE(FindJpegExif(original.data(), original.size(), place));
    ASSERT_FALSE(place.found);
    EXPECT_EQ(place.insertAt, 20u); // after the 18-byte JFIF segment
    const size_t added = saved.size() - original.size();
    EXPECT_TRUE(std::equal(original.begin(), original.begin() + place.insertAt, saved.begin()));
    EXPECT_EQ(saved[place.insertAt], 0xFF);
    EXPECT_EQ(saved[place.insertAt + 1], 0xE1);
    EXPECT_TRUE(std::equal(original.begin() + place.insertAt, original.end(), saved.begin() + place.insertAt + added));

    ExifImage again;
    ASSERT_TRUE(again.Load(saved));
    EXPECT_EQ(Shown(again, 0x013B), L"Anna Example");
    EXPECT_EQ(Shown(again, 0x9003), L"2021:06:14 09:08:07");
    EXPECT_EQ(Shown(again, 0x0006), L"120");
    EXPECT_EQ(Shown(again, 0x5041), L"R98");
    // New directories say which version of their layout they follow, and a new block holds what
    // readers require of one: resolution, chroma positioning, the EXIF directory's versions, its
    // colour space and the image's size (8 x 8).
    const struct {
        uint32_t id;
        const wchar_t* shown;
    } required[] = {
        {0x9000, L"30 32 33 32"}, {0x0000, L"02 03 00 00"}, {0x011A, L"72"},          {0x011B, L"72"}, {0x0128, L"2"},
        {0x0213, L"1"},           {0x9101, L"01 02 03 00"}, {0xA000, L"30 31 30 30"}, {0xA002, L"8"},  {0xA003, L"8"},
    };
    for (const auto& r : required)
        EXPECT_EQ(Shown(again, r.id), r.shown) << std::hex << r.id;
    EXPECT_EQ(again.ItemLength(0xA001), 2u);
}

TEST(ExifImage, RefusesItemsWhoseValuesAreOffsetsOrLayTheImageOut)
{
    const struct {
        const wchar_t* name;
        uint32_t id;
        ExifStatus status;
    } cases[] = {
        {L"le.jpg", 0x8769, ExifStatus::PropertyNotSupported},
        {L"le.jpg", 0x8825, ExifStatus::PropertyNotSupported},
        {L"le.jpg", 0x0201, ExifStatus::PropertyNotSupported},
        {L"le.jpg", 0x0202, ExifStatus::PropertyNotSupported},
        {L"le.jpg", 0x501B, ExifStatus::PropertyNotSupported},
        {L"maker-le.jpg", 0xA005, ExifStatus::PropertyNotSupported},
        {L"plain.jpg", 0x014A, ExifStatus::PropertyNotSupported},
        {L"le.jpg", 0x10000, ExifStatus::PropertyNotSupported},
        {L"exif.tif", 0x0111, ExifStatus::PropertyNotSupported},
        {L"exif.tif", 0x0117, ExifStatus::PropertyNotSupported},
        {L"exif.tif", 0x0100, ExifStatus::PropertyNotSupported},
        {L"exif.tif", 0x0103, ExifStatus::PropertyNotSupported},
        {L"plain.bmp", 0x013B, ExifStatus::PropertyNotSupported},
        // In a JPEG the image's size in IFD0 only describes it.
        {L"le.jpg", 0x0100, ExifStatus::Ok},
    };
    for (const auto& c : cases) {
        ExifImage image;
        ASSERT_TRUE(image.Load(FixtureBytes(c.name))) << c.name;
        EXPECT_EQ(Set(image, c.id, 4, Little32({64})), c.status) << c.name << std::hex << " 0x" << c.id;
        EXPECT_EQ(image.Edited(), c.status == ExifStatus::Ok) << c.name << std::hex << " 0x" << c.id;
    }
}

TEST(ExifImage, RefusesValuesThatDoNotFillTheirType)
{
    ExifImage image;
    ASSERT_TRUE(image.Load(FixtureBytes(L"le.jpg")));
    const struct {
        uint16_t type;
        Bytes value;
    } cases[] = {{3, {1}}, {5, Bytes(12, 0)}, {2, {}}, {13, {0, 0, 0, 0}}, {0, {1}}, {14, {1, 2, 3, 4}}};
    for (const auto& c : cases)
        EXPECT_EQ(Set(image, 0x013B, c.type, c.value), ExifStatus::InvalidParameter) << c.type;
    EXPECT_FALSE(image.Edited());
}

TEST(ExifImage, KnowsWhichImagesItCanWrite)
{
    Bytes damagedHeader = FixtureBytes(L"le.jpg");
    {
        JpegExifPlace place;
        ASSERT_TRUE(FindJpegExif(damagedHeader.data(), damagedHeader.size(), place) && place.found);
        damagedHeader[place.block] = 'X'; // neither "II" nor "MM"
    }
    const Bytes le = FixtureBytes(L"le.jpg");
    JpegExifPlace place;
    ASSERT_TRUE(FindJpegExif(le.data(), le.size(), place) && place.found);
    const Bytes head(le.begin(), le.begin() + static_cast<std::ptrdiff_t>(place.segment + place.segmentSize));
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
    const std::string text = "just some text, no image";
    const struct {
        const char* what;
        Bytes bytes;
        bool whole;
        bool loads;
        ImageFormat format;
        bool writable;
        size_t items;
    } cases[] = {
        {"jpeg", le, true, true, ImageFormat::Jpeg, true, 33},
        {"png", FixtureBytes(L"exif.png"), true, true, ImageFormat::Png, true, 14},
        {"tiff", FixtureBytes(L"exif.tif"), true, true, ImageFormat::Tiff, true, 23},
        {"bmp", FixtureBytes(L"plain.bmp"), true, true, ImageFormat::Bmp, false, 0},
        {"gif", gif, true, true, ImageFormat::Gif, false, 0},
        {"text", Bytes(text.begin(), text.end()), true, false, ImageFormat::None, false, 0},
        {"a jpeg's head", head, false, true, ImageFormat::Jpeg, false, 33},
        {"an exif block without a header", damagedHeader, true, true, ImageFormat::Jpeg, false, 0},
        {"a tiff header alone", {'I', 'I', 42, 0, 8, 0, 0, 0}, true, false, ImageFormat::None, false, 0},
    };
    for (const auto& c : cases) {
        ExifImage image;
        EXPECT_EQ(image.Load(c.bytes, c.whole), c.loads) << c.what;
        if (!c.loads) continue;
        EXPECT_EQ(image.Format(), c.format) << c.what;
        EXPECT_EQ(image.CanWrite(), c.writable) << c.what;
        EXPECT_EQ(image.ItemCount(), c.items) << c.what;
        Bytes out;
        EXPECT_EQ(image.Save(out), c.writable ? ExifStatus::Ok : ExifStatus::GenericError) << c.what;
    }
}

TEST(ExifImage, TellsHowMuchOfAJpegHoldsItsItems)
{
    const Bytes le = FixtureBytes(L"le.jpg");
    JpegExifPlace place;
    ASSERT_TRUE(FindJpegExif(le.data(), le.size(), place) && place.found);
    const size_t end = place.segment + place.segmentSize;
    EXPECT_GT(ExifImage::HeadNeeded(le.data(), 20), 20u);
    EXPECT_EQ(ExifImage::HeadNeeded(le.data(), le.size()), end);
    EXPECT_EQ(ExifImage::HeadNeeded(le.data(), end), end);
    const Bytes png = FixtureBytes(L"exif.png");
    EXPECT_EQ(ExifImage::HeadNeeded(png.data(), png.size()), std::numeric_limits<size_t>::max());

    ExifImage whole, head;
    ASSERT_TRUE(whole.Load(le));
    ASSERT_TRUE(head.Load(Bytes(le.begin(), le.begin() + end), false));
    ExpectSameItems(whole, head, 0, L"head");
    EXPECT_EQ(head.ItemIds(), whole.ItemIds());
}

TEST(ExifImage, KeepsAStripThumbnailWhereItsOffsetsPoint)
{
    BlockBuilder builder;
    const size_t ifd0 = builder.Directory({{0x013B, 2, 2, Ascii("A")}});
    const size_t ifd1 =
        builder.Directory({{0x0103, 3, 1, {1, 0}}, {0x0111, 4, 2, {}}, {0x0117, 4, 2, Little32({9, 5})}});
    builder.Next(ifd0, ifd1);
    const size_t first = builder.Run({'S', 'T', 'R', 'I', 'P', '-', 'O', 'N', 'E'});
    const size_t second = builder.Run({'T', 'W', 'O', '!', '!'});
    builder.PointToRuns(ifd1, 0x0111, {first, second});
    const Bytes jpeg = JpegWith(builder.Build());

    ExifImage image;
    ASSERT_TRUE(image.Load(jpeg));
    ASSERT_EQ(Set(image, 0x013B, 2, Ascii(std::string(200, 'a'))), ExifStatus::Ok);
    const Bytes saved = Saved(image);
    const Bytes block = BlockOf(saved);
    TiffDirectory directory;
    ASSERT_TRUE(directory.Parse(block.data(), block.size(), TiffDirectory::Chain::ExifThumbnail));
    const TiffEntry* strips = directory.Ifd(IfdKind::Ifd1).Find(kTagStripOffsets);
    ASSERT_TRUE(strips != nullptr);
    ASSERT_EQ(strips->count, 2u);
    const uint8_t* offsets = directory.ValueData(*strips);
    const uint32_t one = offsets[0] | offsets[1] << 8 | offsets[2] << 16 | offsets[3] << 24;
    const uint32_t two = offsets[4] | offsets[5] << 8 | offsets[6] << 16 | offsets[7] << 24;
    ASSERT_LE(one + 9, block.size());
    ASSERT_LE(two + 5, block.size());
    EXPECT_EQ(std::string(block.begin() + one, block.begin() + one + 9), "STRIP-ONE");
    EXPECT_EQ(std::string(block.begin() + two, block.begin() + two + 5), "TWO!!");
    ExifImage again;
    ASSERT_TRUE(again.Load(saved));
    EXPECT_EQ(Shown(again, 0x502C), L"9, 5");
}

TEST(ExifImage, KeepsValuesOfTagsItDoesNotKnowAtTheirOffsets)
{
    // A private tag's value may hold offsets of its own, like a maker note.
    BlockBuilder builder;
    const Bytes privateValue = {'P', 'R', 'I', 'V', 'A', 'T', 'E', ' ', 'B', 'L', 'O', 'C', 'K', '!', '!', '!'};
    builder.Directory({{0x010E, 2, 6, Ascii("short")}, {0xC4A5, 7, 16, privateValue}});
    const Bytes block = builder.Build();
    const Bytes jpeg = JpegWith(block);
    TiffDirectory before;
    ASSERT_TRUE(before.Parse(block.data(), block.size(), TiffDirectory::Chain::ExifThumbnail));
    const uint32_t privateAt = before.Ifd(IfdKind::Ifd0).Find(0xC4A5)->valueOffset;

    ExifImage image;
    ASSERT_TRUE(image.Load(jpeg));
    ASSERT_EQ(Set(image, 0x010E, 2, Ascii(std::string(300, 'd'))), ExifStatus::Ok);
    ASSERT_EQ(Set(image, 0x8298, 2, Ascii("Copyright holder")), ExifStatus::Ok);
    const Bytes newBlock = BlockOf(Saved(image));
    TiffDirectory after;
    ASSERT_TRUE(after.Parse(newBlock.data(), newBlock.size(), TiffDirectory::Chain::ExifThumbnail));
    const TiffEntry* kept = after.Ifd(IfdKind::Ifd0).Find(0xC4A5);
    ASSERT_TRUE(kept != nullptr);
    EXPECT_EQ(kept->valueOffset, privateAt);
    EXPECT_EQ(Bytes(after.ValueData(*kept), after.ValueData(*kept) + 16), privateValue);
    EXPECT_EQ(after.Ifd(IfdKind::Ifd0).Find(0x010E)->count, 301u);
}

TEST(ExifImage, AppendsToABlockWithADirectoryItCannotMoveAndKeepsEntriesOfUnknownTypes)
{
    // A sub-directory is reached through an offset only TIFF readers follow; an entry of a type
    // this layer does not know has a size it cannot tell. Both must stay as they were.
    BlockBuilder builder;
    const size_t ifd0 =
        builder.Directory({{0x013B, 2, 2, Ascii("A")}, {0x014A, 4, 1, {}}, {0xC612, 16, 1, {1, 2, 3, 4}}});
    const size_t sub = builder.Directory({{0x0100, 3, 1, {8, 0}}, {0x010E, 2, 12, Ascii("Sub picture")}});
    builder.PointToDirectory(ifd0, 0x014A, sub);
    const Bytes block = builder.Build();
    TiffDirectory before;
    ASSERT_TRUE(before.Parse(block.data(), block.size(), TiffDirectory::Chain::ExifThumbnail));
    const uint8_t* pointer = before.ValueData(*before.Ifd(IfdKind::Ifd0).Find(0x014A));
    const uint32_t subAt = pointer[0] | pointer[1] << 8;

    ExifImage image;
    ASSERT_TRUE(image.Load(JpegWith(block)));
    ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
    const Bytes newBlock = BlockOf(Saved(image));
    ASSERT_GT(newBlock.size(), block.size());
    std::vector<SourceRange> allowed;
    AddTableAndValues(before, IfdKind::Ifd0, {0x013B}, allowed);
    EXPECT_EQ(ChangedOutside(block, newBlock, allowed), std::vector<size_t>());
    TiffDirectory after;
    ASSERT_TRUE(after.Parse(newBlock.data(), newBlock.size(), TiffDirectory::Chain::ExifThumbnail));
    EXPECT_EQ(std::memcmp(after.ValueData(*after.Ifd(IfdKind::Ifd0).Find(0x014A)), pointer, 4), 0);
    // The entry of the unknown type is no item, but its table slot is kept as it was.
    const TiffIfd& table = after.Ifd(IfdKind::Ifd0);
    EXPECT_EQ(table.Find(0xC612), nullptr);
    const auto slot = std::find(table.slotTags.begin(), table.slotTags.end(), 0xC612);
    ASSERT_NE(slot, table.slotTags.end());
    const size_t entryAt = table.sourceOffset + 2 + 12 * static_cast<size_t>(slot - table.slotTags.begin());
    EXPECT_EQ(Bytes(newBlock.begin() + entryAt, newBlock.begin() + entryAt + 12),
              (Bytes{0x12, 0xC6, 16, 0, 1, 0, 0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(std::string(newBlock.begin() + subAt + 2 + 24 + 4, newBlock.begin() + subAt + 2 + 24 + 4 + 11),
              "Sub picture");
    ExifImage again;
    ASSERT_TRUE(again.Load(JpegWith(newBlock)));
    EXPECT_EQ(Shown(again, 0x013B), L"Someone Else");
}

namespace {

// A PNG of one pixel whose eXIf chunk holds the block.
Bytes PngWith(const Bytes& block)
{
    return PngFile({{"IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0}},
                    {"eXIf", block},
                    {"IDAT", {0x78, 0x9C, 0x63, 0x60, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01}},
                    {"IEND", {}}});
}

} // namespace

TEST(ExifImage, FollowsADirectoryPointerStoredInAnyOffsetType)
{
    for (const uint16_t type : {uint16_t{4}, uint16_t{9}, uint16_t{13}}) {
        BlockBuilder builder;
        const size_t ifd0 = builder.Directory({{0x013B, 2, 2, Ascii("A")}, {0x8825, type, 1, {}}});
        const size_t gps = builder.Directory({{0x0000, 1, 4, {2, 2, 0, 0}}, {0x0006, 5, 1, Little32({35, 1})}});
        builder.PointToDirectory(ifd0, 0x8825, gps);
        ExifImage image;
        ASSERT_TRUE(image.Load(JpegWith(builder.Build()))) << type;
        EXPECT_EQ(Shown(image, 0x0006), L"35") << type;
        // A new GPS item makes the directory grow and move; the pointer keeps its type.
        ASSERT_EQ(Set(image, 0x0002, 5, Little32({48, 1, 51, 1, 30, 1})), ExifStatus::Ok);
        ExifImage again;
        ASSERT_TRUE(again.Load(Saved(image))) << type;
        EXPECT_EQ(Shown(again, 0x0006), L"35") << type;
        EXPECT_EQ(Shown(again, 0x0002), L"48, 51, 30") << type;
        EXPECT_EQ(again.Directory().Ifd(IfdKind::Ifd0).Find(0x8825)->type, type);
    }
}

TEST(ExifImage, KeepsEveryDirectoryOfTheChainAndItemsThatAreEmpty)
{
    // IFD0 with an empty Artist (no value at all) and an empty Copyright (one zero byte); IFD1
    // whose thumbnail offset and length are zero; a preview directory after it, with its image.
    BlockBuilder builder;
    const size_t ifd0 = builder.Directory({{0x010E, 2, 6, Ascii("short")}, {0x013B, 2, 0, {}}, {0x8298, 2, 1, {0}}});
    const size_t ifd1 =
        builder.Directory({{0x0103, 3, 1, {6, 0}}, {0x0201, 4, 1, {0, 0, 0, 0}}, {0x0202, 4, 1, {0, 0, 0, 0}}});
    const size_t preview =
        builder.Directory({{0x0103, 3, 1, {6, 0}}, {0x0201, 4, 1, {}}, {0x0202, 4, 1, Little32({12})}});
    builder.Next(ifd0, ifd1);
    builder.Next(ifd1, preview);
    const size_t image = builder.Run({0xFF, 0xD8, 'P', 'R', 'E', 'V', 'I', 'E', 'W', '!', 0xFF, 0xD9});
    builder.PointToRuns(preview, 0x0201, {image});
    const Bytes block = builder.Build();

    ExifImage photo;
    ASSERT_TRUE(photo.Load(JpegWith(block)));
    ASSERT_EQ(photo.Directory().LaterDirectories().size(), 1u);
    ExifItem item;
    for (const uint32_t id : {0x013Bu, 0x8298u, 0x0201u, 0x0202u})
        EXPECT_TRUE(photo.GetItem(id, item)) << std::hex << id;
    ASSERT_EQ(Set(photo, 0x010E, 2, Ascii(std::string(100, 'd'))), ExifStatus::Ok);
    const Bytes newBlock = BlockOf(Saved(photo));

    ExifImage again;
    ASSERT_TRUE(again.Load(JpegWith(newBlock)));
    ExpectSameItems(photo, again, 0x010E, L"the chain");
    EXPECT_EQ(again.ItemLength(0x013B), 0u);
    EXPECT_EQ(again.ItemLength(0x8298), 1u);
    ASSERT_EQ(again.Directory().LaterDirectories().size(), 1u);
    EXPECT_EQ(again.Directory().LaterDirectories()[0], photo.Directory().LaterDirectories()[0]);
    const size_t at = builder.RunAt(image);
    EXPECT_EQ(Bytes(newBlock.begin() + at, newBlock.begin() + at + 12),
              Bytes(block.begin() + at, block.begin() + at + 12));
}

TEST(ExifImage, GrowsABlockOnlyByWhatItAdds)
{
    // 4,000 entries share one 100 KB value; a write must not copy it for each of them.
    const size_t kEntries = 4000, kShared = 100 * 1024;
    Bytes block = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put = [&block](uint32_t value, size_t size) {
        for (size_t i = 0; i < size; ++i)
            block.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    const size_t valueAt = 8 + 2 + 12 * kEntries + 4;
    put(kEntries, 2);
    for (size_t i = 0; i < kEntries; ++i) {
        put(static_cast<uint32_t>(0xC000 + i), 2);
        put(7, 2);
        put(static_cast<uint32_t>(kShared), 4);
        put(static_cast<uint32_t>(valueAt), 4);
    }
    put(0, 4);
    block.resize(valueAt + kShared, 'v');
    const Bytes png = PngWith(block);
    ExifImage image;
    ASSERT_TRUE(image.Load(png));
    ASSERT_EQ(Set(image, 0x013B, 2, Ascii("Someone Else")), ExifStatus::Ok);
    const Bytes saved = Saved(image);
    // The table grows by one entry and moves; the value is written once.
    EXPECT_LE(saved.size(), png.size() + (2 + 12 * (kEntries + 1) + 4) + 13 + 16);

    // A TIFF file edited again and again stays the size of its first edit.
    Bytes tiff = FixtureBytes(L"exif.tif");
    size_t firstSize = 0;
    for (int edit = 0; edit < 10; ++edit) {
        ExifImage file;
        ASSERT_TRUE(file.Load(tiff));
        ASSERT_EQ(Set(file, 0x010E, 2, Ascii("Edit number " + std::to_string(edit))), ExifStatus::Ok);
        tiff = Saved(file);
        if (edit == 0) firstSize = tiff.size();
    }
    EXPECT_EQ(tiff.size(), firstSize);
}

TEST(ExifImage, RefusesToGrowABlockWithAnOffsetPastItsEnd)
{
    // IFD0's next-directory field points just past the block: a longer block would give it a
    // directory, made of whatever the write put there, so the block keeps its size.
    BlockBuilder builder;
    builder.Directory({{0x010E, 2, 6, Ascii("short")}});
    Bytes block = builder.Build();
    const size_t next = 8 + 2 + 12;
    const auto beyond = static_cast<uint32_t>(block.size() + 40);
    for (size_t i = 0; i < 4; ++i)
        block[next + i] = static_cast<uint8_t>(beyond >> (8 * i));

    ExifImage grown;
    ASSERT_TRUE(grown.Load(JpegWith(block)));
    ASSERT_EQ(Set(grown, 0x010E, 2, Ascii(std::string(100, 'd'))), ExifStatus::Ok);
    Bytes out;
    EXPECT_EQ(grown.Save(out), ExifStatus::DamagedOffset);
    // A change that fits where the old value was needs no more room, and is written.
    ExifImage kept;
    ASSERT_TRUE(kept.Load(JpegWith(block)));
    ASSERT_EQ(Set(kept, 0x010E, 2, Ascii("long")), ExifStatus::Ok);
    ExifImage again;
    ASSERT_TRUE(again.Load(Saved(kept)));
    EXPECT_EQ(Shown(again, 0x010E), L"long");

    // An entry whose own value lies past the end may be replaced, and the block grow for it.
    ExifImage repaired;
    ASSERT_TRUE(repaired.Load(FixtureBytes(L"bad-offset.jpg")));
    ASSERT_EQ(Set(repaired, 0x010E, 2, Ascii(std::string(100, 'r'))), ExifStatus::Ok);
    ExifImage reread;
    ASSERT_TRUE(reread.Load(Saved(repaired)));
    EXPECT_EQ(Shown(reread, 0x010E), std::wstring(100, L'r'));
}
