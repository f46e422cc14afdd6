#include "TiffDirectory.h"

#include "core/ByteReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr IfdKind kAllKinds[] = {IfdKind::Ifd0, IfdKind::Exif, IfdKind::Gps, IfdKind::Interop, IfdKind::Ifd1};
// The order a rebuilt block lays its directories out in.
constexpr IfdKind kLayoutOrder[] = {IfdKind::Ifd0, IfdKind::Exif, IfdKind::Interop, IfdKind::Gps, IfdKind::Ifd1};
// Children before parents, so that a parent's pointers are known when it is written.
constexpr IfdKind kAppendOrder[] = {IfdKind::Interop, IfdKind::Exif, IfdKind::Gps, IfdKind::Ifd1, IfdKind::Ifd0};

constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;

size_t Index(IfdKind kind)
{
    return static_cast<size_t>(kind);
}

// The directory a pointer tag of this directory leads to.
bool ChildOf(IfdKind parent, uint16_t tag, IfdKind& child)
{
    if (parent == IfdKind::Ifd0 && tag == kTagExifIfd)
        child = IfdKind::Exif;
    else if (parent == IfdKind::Ifd0 && tag == kTagGpsIfd)
        child = IfdKind::Gps;
    else if (parent == IfdKind::Exif && tag == kTagInteropIfd)
        child = IfdKind::Interop;
    else
        return false;
    return true;
}

bool ParentOf(IfdKind child, IfdKind& parent, uint16_t& tag)
{
    switch (child) {
    case IfdKind::Exif:
        parent = IfdKind::Ifd0;
        tag = kTagExifIfd;
        return true;
    case IfdKind::Gps:
        parent = IfdKind::Ifd0;
        tag = kTagGpsIfd;
        return true;
    case IfdKind::Interop:
        parent = IfdKind::Exif;
        tag = kTagInteropIfd;
        return true;
    default: return false;
    }
}

void Put16(uint8_t* at, uint16_t value, ByteOrder order)
{
    if (order == ByteOrder::Big) {
        at[0] = static_cast<uint8_t>(value >> 8);
        at[1] = static_cast<uint8_t>(value);
    } else {
        at[0] = static_cast<uint8_t>(value);
        at[1] = static_cast<uint8_t>(value >> 8);
    }
}

void Put32(uint8_t* at, uint32_t value, ByteOrder order)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = 8 * (order == ByteOrder::Big ? 3 - i : i);
        at[i] = static_cast<uint8_t>(value >> shift);
    }
}

size_t AlignEven(size_t offset)
{
    return offset + (offset & 1);
}

// One entry as it is written: a source entry, or the computed numbers of a pointer, the
// thumbnail's place or its strips' places, which are always written as LONG.
struct Written {
    const TiffEntry* entry = nullptr;
    uint16_t type = 0;
    uint32_t count = 0;
    bool computed = false;
    std::vector<uint32_t> numbers; // filled once the layout is known

    size_t Size() const { return static_cast<size_t>(count) * TypeSize(type); }
};

} // namespace

TiffEntry* TiffIfd::Find(uint16_t tag)
{
    for (TiffEntry& entry : entries) {
        if (entry.tag == tag) return &entry;
    }
    return nullptr;
}

const TiffEntry* TiffIfd::Find(uint16_t tag) const
{
    return const_cast<TiffIfd*>(this)->Find(tag);
}

bool TiffDirectory::Parse(const uint8_t* data, size_t size, Chain chain)
{
    *this = TiffDirectory();
    if (data == nullptr || size < kHeaderSize) return false;
    if (data[0] == 'I' && data[1] == 'I') {
        order_ = ByteOrder::Little;
    } else if (data[0] == 'M' && data[1] == 'M') {
        order_ = ByteOrder::Big;
    } else {
        return false;
    }
    const ByteReader reader(data, size, order_);
    uint16_t magic = 0;
    uint32_t first = 0;
    if (!reader.U16At(2, magic) || magic != 42 || !reader.U32At(4, first)) return false;
    source_ = data;
    sourceSize_ = size;
    chain_ = chain;

    // Each directory is read once at most, so pointers that loop back end the walk.
    std::vector<uint32_t> visited;
    if (!ReadIfd(first, IfdKind::Ifd0, visited)) {
        *this = TiffDirectory();
        return false;
    }
    ReadChild(IfdKind::Ifd0, kTagExifIfd, IfdKind::Exif, visited);
    ReadChild(IfdKind::Ifd0, kTagGpsIfd, IfdKind::Gps, visited);
    ReadChild(IfdKind::Exif, kTagInteropIfd, IfdKind::Interop, visited);
    const uint32_t next = Ifd(IfdKind::Ifd0).next;
    if (chain == Chain::ExifThumbnail && next != 0) {
        if (ReadIfd(next, IfdKind::Ifd1, visited))
            CheckThumbnail();
        else
            MutableIfd(IfdKind::Ifd0).damaged = true; // its link leads nowhere
    }
    return true;
}

void TiffDirectory::MakeEmpty(ByteOrder order)
{
    *this = TiffDirectory();
    order_ = order;
    MutableIfd(IfdKind::Ifd0).present = true;
}

bool TiffDirectory::ReadIfd(uint32_t offset, IfdKind kind, std::vector<uint32_t>& visited)
{
    if (offset < kHeaderSize || std::find(visited.begin(), visited.end(), offset) != visited.end()) return false;
    const ByteReader reader(source_, sourceSize_, order_);
    uint16_t count = 0;
    if (!reader.U16At(offset, count)) return false;
    const size_t table = static_cast<size_t>(offset) + 2;
    if (!RangeInside(table, kEntrySize * count, sourceSize_)) return false;
    visited.push_back(offset);

    TiffIfd& ifd = MutableIfd(kind);
    ifd = TiffIfd();
    ifd.present = true;
    ifd.sourceOffset = offset;
    // A directory at the very end may lack its next field.
    if (!reader.U32At(table + kEntrySize * count, ifd.next)) ifd.damaged = true;
    ifd.entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = table + kEntrySize * i;
        TiffEntry entry;
        reader.U16At(at, entry.tag);
        reader.U16At(at + 2, entry.type);
        reader.U32At(at + 4, entry.count);
        std::memcpy(entry.field.data(), source_ + at + 8, 4);
        if (TypeSize(entry.type) == 0) {
            ifd.opaque.push_back(entry);
            continue;
        }
        size_t bytes = 0;
        bool valid = entry.count > 0 && CheckedMul(entry.count, TypeSize(entry.type), bytes);
        if (valid && bytes > 4) {
            // A value overlapping the header is damaged too: the header changes when IFD0 moves.
            reader.U32At(at + 8, entry.valueOffset);
            valid = entry.valueOffset >= kHeaderSize && RangeInside(entry.valueOffset, bytes, sourceSize_);
        }
        if (!valid || ifd.Find(entry.tag) != nullptr) {
            ifd.damaged = true;
            continue;
        }
        ifd.entries.push_back(entry);
    }
    return true;
}

void TiffDirectory::ReadChild(IfdKind parent, uint16_t pointerTag, IfdKind child, std::vector<uint32_t>& visited)
{
    TiffIfd& owner = MutableIfd(parent);
    if (!owner.present) return;
    const TiffEntry* pointer = owner.Find(pointerTag);
    if (pointer == nullptr) return;
    const ByteReader field(pointer->field.data(), 4, order_);
    uint32_t offset = 0;
    const bool valid = pointer->count == 1 && (pointer->type == kTypeLong || pointer->type == kTypeIfd) &&
                       field.U32At(0, offset) && ReadIfd(offset, child, visited);
    if (!valid) {
        // A pointer that leads nowhere is dropped, so that a rewrite never repeats it.
        owner.entries.erase(owner.entries.begin() + (pointer - owner.entries.data()));
        owner.damaged = true;
    }
}

namespace {

// The numbers of a SHORT or LONG entry whose value lies in the source.
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

void Remove(TiffIfd& ifd, uint16_t tag)
{
    ifd.entries.erase(std::remove_if(ifd.entries.begin(), ifd.entries.end(),
                                     [tag](const TiffEntry& entry) { return entry.tag == tag; }),
                      ifd.entries.end());
}

} // namespace

void TiffDirectory::CheckThumbnail()
{
    TiffIfd& ifd = MutableIfd(IfdKind::Ifd1);
    // A JPEG thumbnail: its offset and length must name bytes inside the block.
    const TiffEntry* offset = ifd.Find(kTagJpegOffset);
    const TiffEntry* length = ifd.Find(kTagJpegLength);
    if (offset != nullptr || length != nullptr) {
        std::vector<uint32_t> offsets, lengths;
        const bool valid =
            offset != nullptr && length != nullptr && ReadNumbers(*offset, ValueData(*offset), order_, offsets) &&
            ReadNumbers(*length, ValueData(*length), order_, lengths) && offsets.size() == 1 && lengths.size() == 1 &&
            lengths[0] > 0 && offsets[0] >= kHeaderSize && RangeInside(offsets[0], lengths[0], sourceSize_);
        if (valid) {
            thumbnail_ = {offsets[0], lengths[0]};
        } else {
            Remove(ifd, kTagJpegOffset);
            Remove(ifd, kTagJpegLength);
            ifd.damaged = true;
        }
    }
    // An uncompressed thumbnail: as many strips as lengths, each inside the block.
    const TiffEntry* strips = ifd.Find(kTagStripOffsets);
    const TiffEntry* counts = ifd.Find(kTagStripByteCounts);
    if (strips != nullptr || counts != nullptr) {
        std::vector<uint32_t> offsets, lengths;
        bool valid = strips != nullptr && counts != nullptr &&
                     ReadNumbers(*strips, ValueData(*strips), order_, offsets) &&
                     ReadNumbers(*counts, ValueData(*counts), order_, lengths) && offsets.size() == lengths.size();
        for (size_t i = 0; valid && i < offsets.size(); ++i)
            valid = offsets[i] >= kHeaderSize && RangeInside(offsets[i], lengths[i], sourceSize_);
        if (valid) {
            for (size_t i = 0; i < offsets.size(); ++i)
                thumbnailStrips_.push_back({offsets[i], lengths[i]});
        } else {
            Remove(ifd, kTagStripOffsets);
            Remove(ifd, kTagStripByteCounts);
            ifd.damaged = true;
        }
    }
}

bool TiffDirectory::Edited() const
{
    return std::any_of(ifds_.begin(), ifds_.end(), [](const TiffIfd& ifd) { return ifd.present && ifd.edited; });
}

const uint8_t* TiffDirectory::ValueData(const TiffEntry& entry) const
{
    if (entry.edited) return entry.newValue.data();
    if (entry.ValueSize() <= 4) return entry.field.data();
    return source_ + entry.valueOffset;
}

void TiffDirectory::EnsureIfd(IfdKind kind)
{
    if (Ifd(kind).present) return;
    IfdKind parent = IfdKind::Ifd0;
    uint16_t pointerTag = 0;
    if (!ParentOf(kind, parent, pointerTag)) return;
    EnsureIfd(parent);
    TiffIfd& ifd = MutableIfd(kind);
    ifd = TiffIfd();
    ifd.present = true;
    ifd.edited = true;
    TiffIfd& owner = MutableIfd(parent);
    Remove(owner, pointerTag);
    TiffEntry pointer;
    pointer.tag = pointerTag;
    pointer.type = kTypeLong;
    pointer.count = 1;
    pointer.edited = true;
    pointer.newValue.assign(4, 0); // the writer fills in the place
    owner.entries.push_back(pointer);
    owner.edited = true;
}

bool TiffDirectory::SetEntry(IfdKind kind, uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> value)
{
    size_t size = 0;
    if (TypeSize(type) == 0 || count == 0 || !CheckedMul(count, TypeSize(type), size) || size != value.size())
        return false;
    if (kind == IfdKind::Ifd1 && !Ifd(kind).present) return false;
    if (!Ifd(IfdKind::Ifd0).present) return false;
    EnsureIfd(kind);
    TiffIfd& ifd = MutableIfd(kind);
    if (!ifd.present) return false;
    TiffEntry* entry = ifd.Find(tag);
    if (entry != nullptr) {
        if (entry->type == type && entry->count == count && std::memcmp(ValueData(*entry), value.data(), size) == 0)
            return true;
    } else {
        ifd.entries.emplace_back();
        entry = &ifd.entries.back();
        entry->tag = tag;
    }
    entry->type = type;
    entry->count = count;
    entry->newValue = std::move(value);
    entry->edited = true;
    ifd.edited = true;
    return true;
}

bool TiffDirectory::CanRebuild() const
{
    for (IfdKind kind : kAllKinds) {
        const TiffIfd& ifd = Ifd(kind);
        if (!ifd.present) continue;
        if (!ifd.opaque.empty()) return false;
        for (const TiffEntry& entry : ifd.entries) {
            IfdKind child;
            const bool pointer = ChildOf(kind, entry.tag, child);
            if (entry.type == kTypeIfd && !pointer) return false;
            if (!IsStructuralTag(entry.tag) || pointer) continue;
            const bool thumbnail =
                kind == IfdKind::Ifd1 && (entry.tag == kTagJpegOffset || entry.tag == kTagJpegLength ||
                                          entry.tag == kTagStripOffsets || entry.tag == kTagStripByteCounts);
            if (!thumbnail) return false;
        }
    }
    return true;
}

namespace {

// The entries a directory writes, in tag order: pointers only to directories that exist, and in
// a rebuild the thumbnail's places computed.
std::vector<Written> WrittenEntries(const TiffIfd& ifd, IfdKind kind, const std::array<TiffIfd, kIfdKinds>& all,
                                    bool rebuild)
{
    // Entries of unknown types go along as they are, whatever their tags.
    std::vector<std::pair<const TiffEntry*, bool>> sorted;
    for (const TiffEntry& entry : ifd.entries)
        sorted.emplace_back(&entry, false);
    if (!rebuild) {
        for (const TiffEntry& entry : ifd.opaque)
            sorted.emplace_back(&entry, true);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first->tag < b.first->tag; });
    std::vector<Written> written;
    for (const auto& [entry, opaque] : sorted) {
        Written item;
        item.entry = entry;
        item.type = entry->type;
        item.count = entry->count;
        IfdKind child;
        if (!opaque && ChildOf(kind, entry->tag, child)) {
            if (!all[Index(child)].present) continue;
            item.type = entry->type == kTypeIfd ? kTypeIfd : kTypeLong;
            item.count = 1;
            item.computed = true;
        } else if (rebuild && kind == IfdKind::Ifd1 && // a rebuild has no opaque entries
                   (entry->tag == kTagJpegOffset || entry->tag == kTagJpegLength || entry->tag == kTagStripOffsets)) {
            item.type = kTypeLong;
            item.computed = true;
        }
        written.push_back(std::move(item));
    }
    return written;
}

size_t DirectorySize(size_t entries)
{
    return 2 + kEntrySize * entries + 4;
}

} // namespace

bool TiffDirectory::Rebuild(std::vector<uint8_t>& out) const
{
    std::array<std::vector<Written>, kIfdKinds> written;
    for (IfdKind kind : kAllKinds) {
        if (Ifd(kind).present) written[Index(kind)] = WrittenEntries(Ifd(kind), kind, ifds_, true);
    }

    // Values that may hold offsets into the old layout keep their old places.
    struct Pin {
        size_t begin;
        size_t end;
        const TiffEntry* entry;
    };
    std::vector<Pin> pins;
    for (IfdKind kind : kAllKinds) {
        for (const Written& item : written[Index(kind)]) {
            const TiffEntry& entry = *item.entry;
            if (item.computed || entry.edited || entry.ValueSize() <= 4) continue;
            const bool makerNote = kind == IfdKind::Exif && entry.tag == kTagMakerNote;
            if (makerNote || !IsStandardTag(kind, entry.tag))
                pins.push_back({entry.valueOffset, entry.valueOffset + entry.ValueSize(), &entry});
        }
    }
    std::sort(pins.begin(), pins.end(), [](const Pin& a, const Pin& b) { return a.begin < b.begin; });
    std::vector<Pin> kept;
    for (const Pin& pin : pins) {
        if (pin.begin >= kHeaderSize && (kept.empty() || pin.begin >= kept.back().end)) kept.push_back(pin);
    }
    auto pinOf = [&kept](const TiffEntry* entry) -> const Pin* {
        for (const Pin& pin : kept) {
            if (pin.entry == entry) return &pin;
        }
        return nullptr;
    };

    // Everything else goes in order from the header on, around the pinned values.
    size_t cursor = kHeaderSize;
    auto place = [&](size_t size) {
        size_t at = AlignEven(cursor);
        for (const Pin& pin : kept) {
            if (at < pin.end && at + size > pin.begin) at = AlignEven(pin.end);
        }
        cursor = at + size;
        return at;
    };
    std::array<size_t, kIfdKinds> directoryAt{};
    std::array<std::vector<size_t>, kIfdKinds> valueAt;
    for (IfdKind kind : kLayoutOrder) {
        if (!Ifd(kind).present) continue;
        const std::vector<Written>& items = written[Index(kind)];
        directoryAt[Index(kind)] = place(DirectorySize(items.size()));
        for (const Written& item : items) {
            size_t at = 0;
            if (item.Size() > 4) {
                const Pin* pin = item.computed ? nullptr : pinOf(item.entry);
                at = pin != nullptr ? pin->begin : place(item.Size());
            }
            valueAt[Index(kind)].push_back(at);
        }
    }
    const bool hasIfd1 = Ifd(IfdKind::Ifd1).present;
    const size_t thumbnailAt = hasIfd1 && thumbnail_.length > 0 ? place(thumbnail_.length) : 0;
    std::vector<size_t> stripAt;
    for (const SourceRange& strip : hasIfd1 ? thumbnailStrips_ : std::vector<SourceRange>())
        stripAt.push_back(place(strip.length));
    size_t total = cursor;
    if (!kept.empty()) total = std::max(total, kept.back().end);
    if (total > std::numeric_limits<uint32_t>::max()) return false;

    // The computed numbers, now that every place is known.
    for (IfdKind kind : kAllKinds) {
        for (Written& item : written[Index(kind)]) {
            if (!item.computed) continue;
            IfdKind child;
            if (ChildOf(kind, item.entry->tag, child)) {
                item.numbers = {static_cast<uint32_t>(directoryAt[Index(child)])};
            } else if (item.entry->tag == kTagJpegOffset) {
                item.numbers = {static_cast<uint32_t>(thumbnailAt)};
            } else if (item.entry->tag == kTagJpegLength) {
                item.numbers = {thumbnail_.length};
            } else {
                for (size_t at : stripAt)
                    item.numbers.push_back(static_cast<uint32_t>(at));
            }
            item.count = static_cast<uint32_t>(item.numbers.size());
        }
    }

    out.assign(total, 0);
    out[0] = out[1] = order_ == ByteOrder::Big ? 'M' : 'I';
    Put16(&out[2], 42, order_);
    Put32(&out[4], static_cast<uint32_t>(directoryAt[Index(IfdKind::Ifd0)]), order_);
    for (IfdKind kind : kAllKinds) {
        if (!Ifd(kind).present) continue;
        const std::vector<Written>& items = written[Index(kind)];
        uint8_t* directory = &out[directoryAt[Index(kind)]];
        Put16(directory, static_cast<uint16_t>(items.size()), order_);
        for (size_t i = 0; i < items.size(); ++i) {
            const Written& item = items[i];
            uint8_t* at = directory + 2 + kEntrySize * i;
            Put16(at, item.entry->tag, order_);
            Put16(at + 2, item.type, order_);
            Put32(at + 4, item.count, order_);
            uint8_t* value = item.Size() <= 4 ? at + 8 : &out[valueAt[Index(kind)][i]];
            if (item.Size() > 4) Put32(at + 8, static_cast<uint32_t>(valueAt[Index(kind)][i]), order_);
            if (item.computed) {
                for (size_t n = 0; n < item.numbers.size(); ++n)
                    Put32(value + 4 * n, item.numbers[n], order_);
            } else {
                std::memcpy(value, ValueData(*item.entry), item.Size());
            }
        }
        const uint32_t next =
            kind == IfdKind::Ifd0 && hasIfd1 ? static_cast<uint32_t>(directoryAt[Index(IfdKind::Ifd1)]) : 0;
        Put32(directory + 2 + kEntrySize * items.size(), next, order_);
    }
    if (thumbnailAt != 0) std::memcpy(&out[thumbnailAt], source_ + thumbnail_.offset, thumbnail_.length);
    for (size_t i = 0; i < stripAt.size(); ++i)
        std::memcpy(&out[stripAt[i]], source_ + thumbnailStrips_[i].offset, thumbnailStrips_[i].length);
    return true;
}

bool TiffDirectory::AppendedTail(std::vector<uint8_t>& tail, uint32_t& firstIfd) const
{
    std::array<bool, kIfdKinds> rewrite{};
    for (IfdKind kind : kAllKinds)
        rewrite[Index(kind)] =
            Ifd(kind).present && (Ifd(kind).edited || Ifd(kind).damaged || Ifd(kind).sourceOffset == 0);
    if (rewrite[Index(IfdKind::Interop)]) rewrite[Index(IfdKind::Exif)] = true;
    if (rewrite[Index(IfdKind::Exif)] || rewrite[Index(IfdKind::Gps)]) rewrite[Index(IfdKind::Ifd0)] = true;
    if (chain_ == Chain::ExifThumbnail && rewrite[Index(IfdKind::Ifd1)]) rewrite[Index(IfdKind::Ifd0)] = true;

    // The tail starts at the first even offset after the source (or after a bare header).
    const size_t base = AlignEven(source_ != nullptr ? sourceSize_ : kHeaderSize);
    tail.clear();
    std::array<size_t, kIfdKinds> directoryAt{};
    for (IfdKind kind : kAllKinds)
        directoryAt[Index(kind)] = Ifd(kind).sourceOffset;

    for (IfdKind kind : kAppendOrder) {
        if (!rewrite[Index(kind)]) continue;
        const std::vector<Written> items = WrittenEntries(Ifd(kind), kind, ifds_, false);
        tail.resize(AlignEven(tail.size()));
        const size_t directory = tail.size();
        directoryAt[Index(kind)] = base + directory;
        tail.resize(directory + DirectorySize(items.size()));
        Put16(&tail[directory], static_cast<uint16_t>(items.size()), order_);
        for (size_t i = 0; i < items.size(); ++i) {
            const Written& item = items[i];
            const TiffEntry& entry = *item.entry;
            const size_t at = directory + 2 + kEntrySize * i;
            Put16(&tail[at], entry.tag, order_);
            Put16(&tail[at + 2], item.type, order_);
            Put32(&tail[at + 4], item.count, order_);
            IfdKind child;
            if (item.computed && ChildOf(kind, entry.tag, child)) {
                Put32(&tail[at + 8], static_cast<uint32_t>(directoryAt[Index(child)]), order_);
            } else if (!entry.edited) {
                // Unchanged: the field as it was, pointing at the value still in its place.
                std::memcpy(&tail[at + 8], entry.field.data(), 4);
            } else if (item.Size() <= 4) {
                std::memcpy(&tail[at + 8], entry.newValue.data(), item.Size());
                std::memset(&tail[at + 8 + item.Size()], 0, 4 - item.Size());
            } else {
                const size_t value = AlignEven(tail.size());
                tail.resize(value + item.Size());
                std::memcpy(&tail[value], entry.newValue.data(), item.Size());
                Put32(&tail[at + 8], static_cast<uint32_t>(base + value), order_);
            }
        }
        uint32_t next = 0;
        if (kind == IfdKind::Ifd0) {
            if (chain_ == Chain::TiffPages)
                next = Ifd(kind).next;
            else if (Ifd(IfdKind::Ifd1).present)
                next = static_cast<uint32_t>(directoryAt[Index(IfdKind::Ifd1)]);
        }
        Put32(&tail[directory + 2 + kEntrySize * items.size()], next, order_);
    }
    firstIfd = static_cast<uint32_t>(directoryAt[Index(IfdKind::Ifd0)]);
    size_t total = 0;
    return CheckedAdd(base, tail.size(), total) && total <= std::numeric_limits<uint32_t>::max();
}

void TiffDirectory::Header(uint32_t firstIfd, uint8_t header[8]) const
{
    if (source_ != nullptr) {
        std::memcpy(header, source_, kHeaderSize);
    } else {
        header[0] = header[1] = order_ == ByteOrder::Big ? 'M' : 'I';
        Put16(header + 2, 42, order_);
    }
    Put32(header + 4, firstIfd, order_);
}

bool TiffDirectory::AppendChanges(std::vector<uint8_t>& out) const
{
    std::vector<uint8_t> tail;
    uint32_t firstIfd = 0;
    if (!AppendedTail(tail, firstIfd)) return false;
    if (source_ != nullptr) {
        out.assign(source_, source_ + sourceSize_);
    } else {
        out.assign(kHeaderSize, 0);
    }
    Header(firstIfd, out.data());
    out.resize(AlignEven(out.size()));
    out.insert(out.end(), tail.begin(), tail.end());
    return true;
}
