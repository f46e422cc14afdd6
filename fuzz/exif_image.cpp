// The EXIF layer over any bytes: an image is read, its items listed and shown as text, one item
// set from a text, the image written back and read again. Nothing may crash, hang or read out of
// bounds, and the write must be lossless: the item set reads back as set, every other item as it
// was (offsets aside, which the writer computes), every directory survives with every entry of its
// table, the file grows by no more than the new value, the tables that move and a few required
// items, and the bytes around a JPEG's EXIF segment stay, but for the positions an AFCP trailer
// holds, which move with them.
//
// Input: one byte choosing the item (an existing one or a new identifier), one choosing its type,
// a text up to a zero byte, then the image.
#include "FuzzCheck.h"

#include "props/exif/AfcpTrailer.h"
#include "props/exif/ExifItemText.h"
#include "props/exif/JpegContainer.h"
#include "props/exif/PngContainer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kTypes[] = {1, 2, 3, 4, 5, 7, 9, 10};
// Identifiers that name no existing item: one per directory, and one that names no tag at all.
constexpr uint32_t kNewIds[] = {0x013B, 0x9286, 0x0006, 0x5041, 0x5029, 0x10000, 0x927C, 0xC4A5};

// Items whose values are offsets or sizes the writer computes.
bool Computed(uint32_t id)
{
    return (id <= 0xFFFF && IsStructuralTag(static_cast<uint16_t>(id))) || id == 0x5028 || id == 0x502C;
}

std::map<uint32_t, ExifItem> Items(const ExifImage& image)
{
    std::map<uint32_t, ExifItem> items;
    for (uint32_t id : image.ItemIds()) {
        ExifItem item;
        FUZZ_CHECK(image.GetItem(id, item));
        items[id] = item;
    }
    return items;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t choice = data[0];
    const uint16_t type = kTypes[data[1] % std::size(kTypes)];
    const uint8_t* text = data + 2;
    const size_t textSize = strnlen(reinterpret_cast<const char*>(text), size - 2);
    const size_t imageStart = std::min(size, 2 + textSize + 1);
    std::vector<uint8_t> bytes(data + imageStart, data + size);

    ExifImage image;
    if (!image.Load(bytes)) return 0;
    const Latin1CodePage codePage;
    const std::map<uint32_t, ExifItem> before = Items(image);
    FUZZ_CHECK(before.size() == image.ItemCount());
    for (const auto& [id, item] : before) {
        const ItemValueText shown = FormatItemValue(item, codePage);
        FUZZ_CHECK(shown.length == item.value.size());
        // Every numeric text reads back as the value it shows. (A Windows text item shows its text,
        // which is written back in its one form.)
        std::vector<uint8_t> parsed;
        const bool numeric = item.type != 2 && TypeSize(item.type) != 0 && item.type != 6 && item.type != 8 &&
                             item.type < 11 && item.value.size() % TypeSize(item.type) == 0 && !item.value.empty() &&
                             !IsWindowsTextItem(id);
        if (numeric) {
            FUZZ_CHECK(ParseItemValue(shown.text, item.type, codePage, parsed));
            FUZZ_CHECK(parsed == item.value);
        }
    }

    ExifItem wanted;
    wanted.id = choice < 128 && !before.empty() ? std::next(before.begin(), choice % before.size())->first
                                                : kNewIds[choice % std::size(kNewIds)];
    wanted.type = type;
    std::wstring valueText;
    for (size_t i = 0; i < textSize; ++i)
        valueText.push_back(static_cast<wchar_t>(text[i]));
    if (!ParseItemValue(valueText, type, codePage, wanted.value)) wanted.value = {0};
    const ExifStatus set = image.SetItem(wanted);

    std::vector<uint8_t> saved;
    const ExifStatus status = image.Save(saved);
    if (!image.CanWrite()) {
        FUZZ_CHECK(status == ExifStatus::GenericError);
        return 0;
    }
    // The block outgrew its container, or would grow while a damaged offset points past its end.
    if (status == ExifStatus::ValueOverflow || status == ExifStatus::DamagedOffset) return 0;
    if (status == ExifStatus::FixedTrailer) {
        // Refused before a byte is written: a trailer whose positions cannot be moved.
        FUZZ_CHECK(image.Format() == ImageFormat::Jpeg &&
                   AfcpTrailer::Find(bytes.data(), bytes.size()).state() != AfcpTrailer::State::None);
        return 0;
    }
    if (status == ExifStatus::Win32Error) {
        // The writers refuse two things on their own: moving the positions of an AFCP trailer that
        // does not check out (or has an entry in the EXIF segment), and a block in a PNG text chunk
        // past what such a block may decode to.
        PngExifPlace png;
        const bool trailer = AfcpTrailer::Find(bytes.data(), bytes.size()).state() != AfcpTrailer::State::None;
        const bool text = FindPngExif(bytes.data(), bytes.size(), png) && png.inText;
        FUZZ_CHECK((image.Format() == ImageFormat::Jpeg && trailer) || (image.Format() == ImageFormat::Png && text));
        return 0;
    }
    FUZZ_CHECK(status == ExifStatus::Ok);
    if (!image.Edited()) FUZZ_CHECK(saved == bytes);

    // The moved tables, the new value and what a new directory must hold bound the growth.
    size_t allowance = 1024 + wanted.value.size();
    constexpr IfdKind kKinds[] = {IfdKind::Ifd0, IfdKind::Exif, IfdKind::Gps, IfdKind::Interop, IfdKind::Ifd1};
    for (IfdKind kind : kKinds)
        allowance += 6 + 12 * (static_cast<size_t>(image.Directory().Ifd(kind).sourceCount) + 16);
    FUZZ_CHECK(saved.size() <= bytes.size() + allowance);

    const ImageFormat format = image.Format();
    ExifImage again;
    FUZZ_CHECK(again.Load(saved));
    FUZZ_CHECK(again.Format() == format);
    FUZZ_CHECK(again.CanWrite());
    std::map<uint32_t, ExifItem> after = Items(again);
    if (set == ExifStatus::Ok) {
        FUZZ_CHECK(after.count(wanted.id) == 1);
        FUZZ_CHECK(after[wanted.id].type == wanted.type && after[wanted.id].value == wanted.value);
    }
    for (const auto& [id, item] : before) {
        if (id == wanted.id && set == ExifStatus::Ok) continue;
        FUZZ_CHECK(after.count(id) == 1);
        if (Computed(id)) continue;
        FUZZ_CHECK(after[id].type == item.type);
        FUZZ_CHECK(after[id].value == item.value);
    }

    // Every directory is still there, with every entry its table had.
    ExifImage original;
    FUZZ_CHECK(original.Load(bytes));
    for (IfdKind kind : kKinds) {
        const TiffIfd& was = original.Directory().Ifd(kind);
        const TiffIfd& now = again.Directory().Ifd(kind);
        if (!was.present) continue;
        FUZZ_CHECK(now.present);
        for (uint16_t tag : was.slotTags)
            FUZZ_CHECK(std::count(now.slotTags.begin(), now.slotTags.end(), tag) >=
                       std::count(was.slotTags.begin(), was.slotTags.end(), tag));
    }
    // A looping chain may reach one more table once a directory it looped to has moved.
    FUZZ_CHECK(again.Directory().LaterDirectories().size() >= original.Directory().LaterDirectories().size());

    if (format == ImageFormat::Jpeg) {
        // Only the EXIF segment differs: what comes before and after it is the same.
        JpegExifPlace old, now;
        FUZZ_CHECK(FindJpegExif(bytes.data(), bytes.size(), old) && FindJpegExif(saved.data(), saved.size(), now));
        const size_t head = old.found ? old.segment : old.insertAt;
        const size_t tail = old.found ? bytes.size() - old.segment - old.segmentSize : bytes.size() - old.insertAt;
        FUZZ_CHECK(saved.size() >= head + tail);
        FUZZ_CHECK(std::memcmp(saved.data(), bytes.data(), head) == 0);
        std::vector<uint8_t> oldTail(bytes.end() - tail, bytes.end()), newTail(saved.end() - tail, saved.end());
        const AfcpTrailer trailer = AfcpTrailer::Find(bytes.data(), bytes.size());
        if (trailer.state() == AfcpTrailer::State::Valid && saved.size() != bytes.size()) {
            // The trailer's positions moved by the change in size, and nothing else in it changed.
            const AfcpTrailer moved = AfcpTrailer::Find(saved.data(), saved.size());
            FUZZ_CHECK(moved.state() == AfcpTrailer::State::Valid);
            const size_t start = trailer.Start() - (bytes.size() - tail);
            FUZZ_CHECK(moved.Start() - (saved.size() - tail) == start && moved.Entries() == trailer.Entries());
            for (size_t i = 0; i < trailer.Entries(); ++i) {
                uint32_t length = 0, offset = 0, newLength = 0, newOffset = 0;
                FUZZ_CHECK(trailer.Entry(i, length, offset) && moved.Entry(i, newLength, newOffset));
                FUZZ_CHECK(newLength == length);
                // An entry may take in the directory or the footer, whose positions changed.
                const size_t end = size_t{offset} + length;
                const bool inDirectory = offset < trailer.DirectoryEnd() && end > trailer.Start();
                const bool inFooter = end > trailer.FooterStart();
                if (!inDirectory && !inFooter)
                    FUZZ_CHECK(std::memcmp(bytes.data() + offset, saved.data() + newOffset, length) == 0);
            }
            for (size_t at = start + 20; at < trailer.DirectoryEnd() - (bytes.size() - tail); at += 12)
                std::memset(&oldTail[at], 0, 4), std::memset(&newTail[at], 0, 4);
            std::memset(&oldTail[tail - 8], 0, 4), std::memset(&newTail[tail - 8], 0, 4);
        }
        FUZZ_CHECK(oldTail == newTail);
    }
    return 0;
}
