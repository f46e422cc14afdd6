#include "TiffParser.h"

#include "core/ByteReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
// Directories chained after the thumbnail's (previews) or after a TIFF file's first page that are
// looked at to learn which bytes they hold; a longer chain is left as it is, unread.
constexpr size_t kMaxLaterDirectories = 64;

// The numbers of a SHORT or LONG entry.
bool ReadNumbers(const TiffEntry& entry, const uint8_t* value, ByteOrder order, std::vector<uint32_t>& out)
{
    if (entry.type != kTypeShort && entry.type != kTypeLong) return false;
    const ByteReader reader(value, entry.ValueSize(), order);
    out.clear();
    for (size_t i = 0; i < entry.count; ++i) {
        uint32_t number = 0;
        if (entry.type == kTypeShort) {
            uint16_t shortNumber = 0;
            if (!reader.U16At(2 * i, shortNumber)) return false;
            number = shortNumber;
        } else if (!reader.U32At(4 * i, number)) {
            return false;
        }
        out.push_back(number);
    }
    return true;
}

class Walk {
public:
    Walk(const uint8_t* data, size_t size, ByteOrder order, std::vector<SourceRange>& referenced,
         std::vector<DanglingOffset>& dangling, std::vector<uint32_t>& pointedTwice)
        : reader_(data, size, order), size_(size), referenced_(referenced), dangling_(dangling),
          pointedTwice_(pointedTwice)
    {}

    // Notes an offset past the end: while it stays, the block must not grow, or a reader could
    // take new bytes (or, in a lenient reader, the bytes after the block) for what it names.
    void PastTheEnd(uint64_t offset, uint64_t length)
    {
        if (offset >= kHeaderSize && offset + length > size_) dangling_.push_back({kind_, slot_});
    }

    // Reads a directory's table into `ifd`. False when it is out of range or was read already.
    bool Table(uint32_t offset, IfdKind kind, TiffIfd& ifd)
    {
        uint16_t count = 0;
        if (!Claim(offset, count)) return false;
        const size_t table = static_cast<size_t>(offset) + 2;
        ifd = TiffIfd();
        ifd.present = true;
        ifd.sourceOffset = offset;
        ifd.sourceCount = count;
        // A directory at the very end may lack its next field.
        ifd.nextInside = reader_.U32At(table + kEntrySize * count, ifd.next);
        ifd.entries.reserve(count);
        ifd.slotTags.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            TiffEntry entry;
            kind_ = kind;
            slot_ = static_cast<int32_t>(i);
            const bool readable = Entry(table + kEntrySize * i, entry);
            slot_ = -1;
            if (!readable) {
                ifd.slotTags.push_back(entry.tag);
                continue;
            }
            entry.slot = static_cast<int32_t>(i);
            ifd.slotTags.push_back(entry.tag);
            // A repeated tag is not a second item; its entry stays in the table as it is.
            if (ifd.Find(entry.tag) == nullptr) ifd.entries.push_back(entry);
        }
        return true;
    }

    // The ranges a directory that is kept whole holds: its table and its values.
    bool Later(uint32_t offset, uint32_t& next)
    {
        uint16_t count = 0;
        if (!Claim(offset, count)) return false;
        const size_t table = static_cast<size_t>(offset) + 2;
        for (size_t i = 0; i < count; ++i) {
            TiffEntry entry;
            Entry(table + kEntrySize * i, entry);
        }
        if (!reader_.U32At(table + kEntrySize * count, next)) next = 0;
        return true;
    }

private:
    bool Claim(uint32_t offset, uint16_t& count)
    {
        if (offset < kHeaderSize) return false;
        const auto seen = std::find(visited_.begin(), visited_.end(), offset);
        if (seen != visited_.end()) {
            // A second pointer to a table (a loop): should the table move, its old place is kept.
            pointedTwice_.push_back(offset);
            return false;
        }
        if (!reader_.U16At(offset, count)) {
            PastTheEnd(offset, 2);
            return false;
        }
        const size_t table = static_cast<size_t>(offset) + 2;
        if (!RangeInside(table, kEntrySize * count, size_)) {
            PastTheEnd(table, kEntrySize * count);
            return false;
        }
        const size_t length = std::min<size_t>(2 + kEntrySize * count + 4, size_ - offset);
        visited_.push_back(offset);
        referenced_.push_back({offset, static_cast<uint32_t>(length)});
        return true;
    }

    // One table entry; false when it is no readable item (its tag is filled in all the same).
    bool Entry(size_t at, TiffEntry& entry)
    {
        reader_.U16At(at, entry.tag);
        reader_.U16At(at + 2, entry.type);
        reader_.U32At(at + 4, entry.count);
        std::memcpy(entry.field.data(), reader_.Data() + at + 8, 4);
        if (TypeSize(entry.type) == 0) return false;
        size_t bytes = 0;
        if (!CheckedMul(entry.count, TypeSize(entry.type), bytes)) return false;
        if (bytes <= 4) return true; // an empty value too: an item with nothing in it
        reader_.U32At(at + 8, entry.valueOffset);
        // A value overlapping the header is damaged too: the header changes when IFD0 moves.
        if (entry.valueOffset < kHeaderSize || !RangeInside(entry.valueOffset, bytes, size_)) {
            PastTheEnd(entry.valueOffset, bytes);
            return false;
        }
        referenced_.push_back({entry.valueOffset, static_cast<uint32_t>(bytes)});
        return true;
    }

    const ByteReader reader_;
    size_t size_;
    std::vector<SourceRange>& referenced_;
    std::vector<DanglingOffset>& dangling_;
    // The entry being read, for noting an offset of its own past the end; -1 for anything else.
    IfdKind kind_ = IfdKind::Ifd0;
    int32_t slot_ = -1;
    std::vector<uint32_t>& pointedTwice_;
    std::vector<uint32_t> visited_;
};

} // namespace

bool TiffParser::Parse(const uint8_t* data, size_t size, TiffDirectory::Chain chain, TiffDirectory& out)
{
    out = TiffDirectory();
    if (data == nullptr || size < kHeaderSize) return false;
    ByteOrder order = ByteOrder::Little;
    if (data[0] == 'I' && data[1] == 'I') {
        order = ByteOrder::Little;
    } else if (data[0] == 'M' && data[1] == 'M') {
        order = ByteOrder::Big;
    } else {
        return false;
    }
    const ByteReader reader(data, size, order);
    uint16_t magic = 0;
    uint32_t first = 0;
    if (!reader.U16At(2, magic) || magic != 42 || !reader.U32At(4, first)) return false;
    // Blocks larger than 32-bit offsets can reach are no TIFF structure.
    if (size > UINT32_MAX) return false;
    out.order_ = order;
    out.source_ = data;
    out.sourceSize_ = size;
    out.chain_ = chain;
    out.referenced_.push_back({0, static_cast<uint32_t>(kHeaderSize)});

    Walk walk(data, size, order, out.referenced_, out.dangling_, out.pointedTwice_);
    if (!walk.Table(first, IfdKind::Ifd0, out.MutableIfd(IfdKind::Ifd0))) {
        out = TiffDirectory();
        return false;
    }
    // The EXIF directory before GPS and interoperability, as pointers lead.
    constexpr IfdKind kChildren[] = {IfdKind::Exif, IfdKind::Gps, IfdKind::Interop};
    for (IfdKind child : kChildren) {
        IfdKind parent = IfdKind::Ifd0;
        uint16_t pointerTag = 0;
        ParentIfdOf(child, parent, pointerTag);
        TiffIfd& owner = out.MutableIfd(parent);
        if (!owner.present) continue;
        TiffEntry* pointer = owner.Find(pointerTag);
        if (pointer == nullptr) continue;
        const ByteReader field(pointer->field.data(), 4, order);
        uint32_t offset = 0;
        const bool followed = IsPointerType(pointer->type, pointer->count) && field.U32At(0, offset) &&
                              walk.Table(offset, child, out.MutableIfd(child));
        // A pointer that leads nowhere is no item; it stays in its table as it was.
        if (!followed) owner.entries.erase(owner.entries.begin() + (pointer - owner.entries.data()));
    }

    uint32_t next = out.Ifd(IfdKind::Ifd0).nextInside ? out.Ifd(IfdKind::Ifd0).next : 0;
    if (chain == TiffDirectory::Chain::ExifThumbnail && next != 0) {
        TiffIfd& ifd1 = out.MutableIfd(IfdKind::Ifd1);
        if (walk.Table(next, IfdKind::Ifd1, ifd1)) {
            next = ifd1.nextInside ? ifd1.next : 0;
            // A JPEG thumbnail: one offset and one length naming bytes inside the block. Its
            // entries stay items whatever they hold; only a valid pair is the thumbnail.
            const TiffEntry* offset = ifd1.Find(kTagJpegOffset);
            const TiffEntry* length = ifd1.Find(kTagJpegLength);
            std::vector<uint32_t> offsets, lengths;
            if (offset != nullptr && length != nullptr &&
                ReadNumbers(*offset, out.ValueData(*offset), order, offsets) &&
                ReadNumbers(*length, out.ValueData(*length), order, lengths) && offsets.size() == 1 &&
                lengths.size() == 1 && lengths[0] > 0 && offsets[0] >= kHeaderSize &&
                RangeInside(offsets[0], lengths[0], size)) {
                out.thumbnail_ = {offsets[0], lengths[0]};
                out.referenced_.push_back(out.thumbnail_);
            } else if (offsets.size() == 1 && lengths.size() == 1) {
                walk.PastTheEnd(offsets[0], lengths[0]);
            }
            // An uncompressed thumbnail's strips.
            const TiffEntry* strips = ifd1.Find(kTagStripOffsets);
            const TiffEntry* counts = ifd1.Find(kTagStripByteCounts);
            if (strips != nullptr && counts != nullptr &&
                ReadNumbers(*strips, out.ValueData(*strips), order, offsets) &&
                ReadNumbers(*counts, out.ValueData(*counts), order, lengths) && offsets.size() == lengths.size()) {
                for (size_t i = 0; i < offsets.size(); ++i) {
                    if (RangeInside(offsets[i], lengths[i], size))
                        out.referenced_.push_back({offsets[i], lengths[i]});
                    else
                        walk.PastTheEnd(offsets[i], lengths[i]);
                }
            }
        } else {
            ifd1 = TiffIfd();
            next = 0;
        }
    }
    // Previews and later pages are kept whole; their tables and values are only noted.
    while (next != 0 && out.later_.size() < kMaxLaterDirectories) {
        const uint32_t at = next;
        if (!walk.Later(at, next)) break;
        out.later_.push_back(at);
    }
    return true;
}
