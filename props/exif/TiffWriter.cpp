#include "TiffWriter.h"

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

constexpr IfdKind kAllKinds[] = {IfdKind::Ifd0, IfdKind::Exif, IfdKind::Gps, IfdKind::Interop, IfdKind::Ifd1};
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kTypeLong = 4;

size_t Index(IfdKind kind)
{
    return static_cast<size_t>(kind);
}

size_t AlignEven(size_t offset)
{
    return offset + (offset & 1);
}

size_t TableSize(size_t entries)
{
    return 2 + kEntrySize * entries + 4;
}

bool Overlaps(const SourceRange& a, size_t offset, size_t length)
{
    return a.offset < offset + length && offset < static_cast<size_t>(a.offset) + a.length;
}

// One entry of a table as it is written.
struct RawEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::array<uint8_t, 4> field{};
};

// Lays out one write: which bytes it may reuse, where new things go, and the patches and tail.
class Layout {
public:
    Layout(const TiffDirectory& directory, TiffEdit& out)
        : d_(directory), out_(out), source_(directory.Source()),
          size_(directory.HasSource() ? directory.SourceSize() : 0)
    {
        // A block made from nothing is all tail, its header first.
        out_.tailAt = size_ != 0 ? AlignEven(size_) : 0;
        if (size_ == 0) tailSize_ = kHeaderSize;
    }

    // Room a changed value or a moved table leaves, when nothing else known points into it: it
    // is cleared (an old value must not linger where the user replaced it) and may be reused.
    void Release(size_t offset, size_t length)
    {
        if (!Exclusive(offset, length)) return;
        const std::vector<uint8_t> zeros(length, 0);
        out_.Patch(source_, size_, offset, zeros.data(), length);
        free_.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
    }

    // Whether exactly one known thing (the one being changed) points into these bytes: a value
    // that other entries share, or that overlaps something else, stays where it is.
    bool Exclusive(size_t offset, size_t length) const
    {
        if (length == 0 || !RangeInside(offset, length, size_) || offset < kHeaderSize) return false;
        size_t users = 0;
        for (const SourceRange& range : d_.Referenced()) {
            if (Overlaps(range, offset, length) && ++users > 1) return false;
        }
        return users == 1;
    }

    // A place for new bytes: the first free room that holds them at an even offset, else the tail.
    size_t Allocate(size_t length)
    {
        for (SourceRange& room : free_) {
            const size_t start = AlignEven(room.offset);
            const size_t end = static_cast<size_t>(room.offset) + room.length;
            if (start + length <= end) {
                room.length = static_cast<uint32_t>(end - (start + length));
                room.offset = static_cast<uint32_t>(start + length);
                return start;
            }
        }
        const size_t at = AlignEven(tailSize_);
        tailSize_ = at + length;
        return out_.tailAt + at;
    }

    void Put(size_t offset, const uint8_t* data, size_t length)
    {
        if (length == 0) return;
        if (offset < out_.tailAt) {
            out_.Patch(source_, size_, offset, data, length);
            return;
        }
        const size_t at = offset - out_.tailAt;
        if (out_.tail.size() < at + length) out_.tail.resize(at + length, 0);
        std::memcpy(out_.tail.data() + at, data, length);
    }

    bool Fits() const
    {
        size_t total = 0;
        return CheckedAdd(out_.tailAt, tailSize_, total) && total <= std::numeric_limits<uint32_t>::max();
    }

    size_t Size() const { return tailSize_ == 0 ? size_ : out_.tailAt + tailSize_; }

    void Finish() { out_.tail.resize(tailSize_, 0); }

private:
    const TiffDirectory& d_;
    TiffEdit& out_;
    const uint8_t* source_;
    size_t size_;
    size_t tailSize_ = 0;
    std::vector<SourceRange> free_;
};

// The source table's entries as they stand.
std::vector<RawEntry> SourceTable(const TiffDirectory& directory, const TiffIfd& ifd)
{
    std::vector<RawEntry> raw;
    if (ifd.sourceOffset == 0 || !directory.HasSource()) return raw;
    const ByteReader reader(directory.Source(), directory.SourceSize(), directory.Order());
    raw.resize(ifd.sourceCount);
    for (size_t i = 0; i < raw.size(); ++i) {
        const size_t at = static_cast<size_t>(ifd.sourceOffset) + 2 + kEntrySize * i;
        reader.U16At(at, raw[i].tag);
        reader.U16At(at + 2, raw[i].type);
        reader.U32At(at + 4, raw[i].count);
        std::memcpy(raw[i].field.data(), directory.Source() + at + 8, 4);
    }
    return raw;
}

// Where the source entry in a slot keeps a value of more than four bytes; false when it keeps
// none there (or none inside the block).
bool OldValueRange(const TiffDirectory& directory, const RawEntry& raw, size_t& offset, size_t& length)
{
    size_t bytes = 0;
    if (TypeSize(raw.type) == 0 || !CheckedMul(raw.count, TypeSize(raw.type), bytes) || bytes <= 4) return false;
    const ByteReader field(raw.field.data(), 4, directory.Order());
    uint32_t at = 0;
    field.U32At(0, at);
    if (at < kHeaderSize || !RangeInside(at, bytes, directory.SourceSize())) return false;
    offset = at;
    length = bytes;
    return true;
}

std::array<uint8_t, 4> Field(uint32_t number, ByteOrder order)
{
    ByteWriter writer(order);
    writer.PutU32(number);
    std::array<uint8_t, 4> field{};
    std::memcpy(field.data(), writer.Bytes().data(), 4);
    return field;
}

// Whether an offset past the block's end stays after the write: one not in an entry the write
// replaces.
bool LeavesDanglingOffset(const TiffDirectory& d)
{
    for (const DanglingOffset& dangling : d.Dangling()) {
        if (dangling.slot < 0) return true;
        const std::vector<TiffEntry>& entries = d.Ifd(dangling.kind).entries;
        const bool replaced = std::any_of(entries.begin(), entries.end(), [&dangling](const TiffEntry& entry) {
            return entry.slot == dangling.slot && entry.edited;
        });
        if (!replaced) return true;
    }
    return false;
}

} // namespace

void TiffEdit::Patch(const uint8_t* source, size_t sourceSize, size_t offset, const uint8_t* data, size_t size)
{
    if (size == 0 || !RangeInside(offset, size, sourceSize)) return;
    size_t start = offset, end = offset + size;
    auto first = patches_.upper_bound(offset);
    if (first != patches_.begin()) {
        auto before = std::prev(first);
        if (before->first + before->second.size() >= offset) first = before;
    }
    auto last = first;
    while (last != patches_.end() && last->first <= end) {
        start = std::min(start, last->first);
        end = std::max(end, last->first + last->second.size());
        ++last;
    }
    std::vector<uint8_t> merged(source + start, source + end);
    for (auto it = first; it != last; ++it)
        std::memcpy(merged.data() + (it->first - start), it->second.data(), it->second.size());
    std::memcpy(merged.data() + (offset - start), data, size);
    patches_.erase(first, last);
    patches_.emplace(start, std::move(merged));
}

std::vector<uint8_t> TiffEdit::Apply(const uint8_t* source, size_t sourceSize) const
{
    std::vector<uint8_t> out;
    VectorSink sink(out);
    out.reserve(Size(sourceSize));
    Write(source, sourceSize, sink);
    return out;
}

bool TiffEdit::Write(const uint8_t* source, size_t sourceSize, ByteSink& sink) const
{
    size_t at = 0;
    for (const auto& [offset, bytes] : patches_) {
        if (!sink.Write(source + at, offset - at) || !sink.Write(bytes.data(), bytes.size())) return false;
        at = offset + bytes.size();
    }
    if (!sink.Write(source + at, sourceSize - at)) return false;
    const uint8_t pad[1] = {0};
    if (!tail.empty() && tailAt > sourceSize && !sink.Write(pad, tailAt - sourceSize)) return false;
    return sink.Write(tail.data(), tail.size());
}

TiffWriteResult TiffWriter::Write(const TiffDirectory& d, TiffEdit& out)
{
    out = TiffEdit();
    Layout layout(d, out);
    const ByteOrder order = d.Order();

    // The tables each directory writes: the source's entries with the changed ones in their
    // slots, and new entries inserted in tag order.
    std::array<bool, kIfdKinds> written{}, inPlace{};
    std::array<size_t, kIfdKinds> count{}, at{};
    for (IfdKind kind : kAllKinds) {
        const TiffIfd& ifd = d.Ifd(kind);
        if (!ifd.present) continue;
        size_t added = 0;
        for (const TiffEntry& entry : ifd.entries)
            added += entry.slot < 0 ? 1 : 0;
        count[Index(kind)] = ifd.sourceCount + added;
        written[Index(kind)] = ifd.edited || ifd.sourceOffset == 0;
        // A table that shares bytes with a value (in a crafted block) moves, so the value keeps them.
        inPlace[Index(kind)] = ifd.sourceOffset != 0 && added == 0 && ifd.nextInside &&
                               layout.Exclusive(ifd.sourceOffset, TableSize(ifd.sourceCount));
        at[Index(kind)] = ifd.sourceOffset;
    }
    // A directory that moves changes the pointer to it, and so its parent's table.
    for (IfdKind child : {IfdKind::Interop, IfdKind::Exif, IfdKind::Gps, IfdKind::Ifd1}) {
        IfdKind parent = IfdKind::Ifd0;
        uint16_t tag = 0;
        if (child != IfdKind::Ifd1 && !ParentIfdOf(child, parent, tag)) continue;
        if (written[Index(child)] && !inPlace[Index(child)]) written[Index(parent)] = true;
    }

    // What the changed values and moved tables leave free, before anything new is placed.
    struct Value {
        IfdKind kind;
        const TiffEntry* entry;
        size_t at; // 0: in the entry's field
    };
    std::vector<Value> values;
    std::array<std::vector<RawEntry>, kIfdKinds> tables;
    for (IfdKind kind : kAllKinds) {
        if (!written[Index(kind)]) continue;
        const TiffIfd& ifd = d.Ifd(kind);
        tables[Index(kind)] = SourceTable(d, ifd);
        const std::vector<RawEntry>& raw = tables[Index(kind)];
        for (const TiffEntry& entry : ifd.entries) {
            if (!entry.edited) continue;
            size_t oldAt = 0, oldLength = 0;
            const bool hadRoom = entry.slot >= 0 && static_cast<size_t>(entry.slot) < raw.size() &&
                                 OldValueRange(d, raw[entry.slot], oldAt, oldLength) &&
                                 layout.Exclusive(oldAt, oldLength);
            const size_t size = entry.ValueSize();
            if (size <= 4) {
                if (hadRoom) layout.Release(oldAt, oldLength);
                continue;
            }
            if (hadRoom && oldLength >= size) {
                values.push_back({kind, &entry, oldAt});
                if (oldLength > size) layout.Release(oldAt + size, oldLength - size);
                continue;
            }
            if (hadRoom) layout.Release(oldAt, oldLength);
            values.push_back({kind, &entry, 0});
        }
        if (!inPlace[Index(kind)] && ifd.sourceOffset != 0 && !d.PointedAtTwice(ifd.sourceOffset))
            layout.Release(ifd.sourceOffset,
                           ifd.nextInside ? TableSize(ifd.sourceCount) : 2 + kEntrySize * ifd.sourceCount);
    }

    // New places: the header of a new block first, then tables, then values.
    for (IfdKind kind : kAllKinds) {
        if (written[Index(kind)] && !inPlace[Index(kind)])
            at[Index(kind)] = layout.Allocate(TableSize(count[Index(kind)]));
    }
    for (Value& value : values) {
        if (value.at == 0) value.at = layout.Allocate(value.entry->ValueSize());
    }
    if (!layout.Fits()) return TiffWriteResult::TooLarge;
    if (layout.Size() > d.SourceSize() && LeavesDanglingOffset(d)) return TiffWriteResult::GrowsDamaged;

    for (const Value& value : values)
        layout.Put(value.at, value.entry->newValue.data(), value.entry->ValueSize());
    for (IfdKind kind : kAllKinds) {
        if (!written[Index(kind)]) continue;
        if (count[Index(kind)] > 0xFFFF) return TiffWriteResult::TooLarge;
        const TiffIfd& ifd = d.Ifd(kind);
        std::vector<RawEntry>& raw = tables[Index(kind)];
        std::vector<RawEntry> added;
        for (const TiffEntry& entry : ifd.entries) {
            RawEntry item;
            item.tag = entry.tag;
            item.type = entry.type;
            item.count = entry.count;
            item.field = entry.field;
            IfdKind child;
            if (ChildIfdOf(kind, entry.tag, child) && d.Ifd(child).present) {
                // A pointer keeps the integer type it was stored in.
                if (!IsPointerType(item.type, item.count) || entry.edited) item.type = kTypeLong;
                item.count = 1;
                item.field = Field(static_cast<uint32_t>(at[Index(child)]), order);
            } else if (entry.edited) {
                const size_t size = entry.ValueSize();
                item.field = {};
                if (size <= 4) {
                    std::memcpy(item.field.data(), entry.newValue.data(), size);
                } else {
                    const auto placed = std::find_if(values.begin(), values.end(),
                                                     [&entry](const Value& value) { return value.entry == &entry; });
                    item.field = Field(static_cast<uint32_t>(placed->at), order);
                }
            } else {
                continue; // unchanged: the source's entry as it is
            }
            if (entry.slot >= 0 && static_cast<size_t>(entry.slot) < raw.size())
                raw[entry.slot] = item;
            else
                added.push_back(item);
        }
        std::stable_sort(added.begin(), added.end(),
                         [](const RawEntry& a, const RawEntry& b) { return a.tag < b.tag; });
        for (const RawEntry& item : added) {
            const auto place =
                std::find_if(raw.begin(), raw.end(), [&item](const RawEntry& e) { return e.tag > item.tag; });
            raw.insert(place, item);
        }

        uint32_t next = ifd.nextInside ? ifd.next : 0;
        if (kind == IfdKind::Ifd0 && d.ChainKind() == TiffDirectory::Chain::ExifThumbnail &&
            d.Ifd(IfdKind::Ifd1).present)
            next = static_cast<uint32_t>(at[Index(IfdKind::Ifd1)]);
        ByteWriter table(order);
        table.PutU16(static_cast<uint16_t>(raw.size()));
        for (const RawEntry& item : raw) {
            table.PutU16(item.tag);
            table.PutU16(item.type);
            table.PutU32(item.count);
            table.PutBytes(item.field.data(), 4);
        }
        table.PutU32(next);
        layout.Put(at[Index(kind)], table.Bytes().data(), table.Size());
    }

    // The header, when the first directory moved or the block is new.
    if (!d.HasSource() || at[Index(IfdKind::Ifd0)] != d.Ifd(IfdKind::Ifd0).sourceOffset) {
        ByteWriter header(order);
        header.PutText(order == ByteOrder::Big ? "MM" : "II");
        header.PutU16(42);
        header.PutU32(static_cast<uint32_t>(at[Index(IfdKind::Ifd0)]));
        layout.Put(0, header.Bytes().data(), header.Size());
    }
    layout.Finish();
    return TiffWriteResult::Ok;
}
