#include "TiffDirectory.h"

#include "TiffParser.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeSlong = 9;

} // namespace

bool ChildIfdOf(IfdKind parent, uint16_t tag, IfdKind& child)
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

bool ParentIfdOf(IfdKind child, IfdKind& parent, uint16_t& tag)
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

bool IsPointerType(uint16_t type, uint32_t count)
{
    return count == 1 && (type == kTypeLong || type == kTypeSlong || type == kTypeIfd);
}

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
    return TiffParser::Parse(data, size, chain, *this);
}

void TiffDirectory::MakeEmpty(ByteOrder order)
{
    *this = TiffDirectory();
    order_ = order;
    MutableIfd(IfdKind::Ifd0).present = true;
}

bool TiffDirectory::Edited() const
{
    return std::any_of(ifds_.begin(), ifds_.end(), [](const TiffIfd& ifd) { return ifd.present && ifd.edited; });
}

bool TiffDirectory::PointedAtTwice(uint32_t offset) const
{
    return std::find(pointedTwice_.begin(), pointedTwice_.end(), offset) != pointedTwice_.end();
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
    if (!ParentIfdOf(kind, parent, pointerTag)) return;
    EnsureIfd(parent);
    TiffIfd& ifd = MutableIfd(kind);
    ifd = TiffIfd();
    ifd.present = true;
    ifd.edited = true;
    TiffIfd& owner = MutableIfd(parent);
    // A pointer that led nowhere is replaced in its own table slot; the writer fills in the place.
    TiffEntry pointer;
    pointer.tag = pointerTag;
    pointer.type = kTypeLong;
    pointer.count = 1;
    pointer.edited = true;
    pointer.newValue.assign(4, 0);
    const auto slot = std::find(owner.slotTags.begin(), owner.slotTags.end(), pointerTag);
    if (slot != owner.slotTags.end()) pointer.slot = static_cast<int32_t>(slot - owner.slotTags.begin());
    owner.entries.erase(std::remove_if(owner.entries.begin(), owner.entries.end(),
                                       [pointerTag](const TiffEntry& entry) { return entry.tag == pointerTag; }),
                        owner.entries.end());
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
        // A tag the table holds but could not read (a repeated or damaged entry) is replaced in
        // its slot rather than listed twice.
        const auto slot = std::find(ifd.slotTags.begin(), ifd.slotTags.end(), tag);
        if (slot != ifd.slotTags.end()) entry->slot = static_cast<int32_t>(slot - ifd.slotTags.begin());
    }
    entry->type = type;
    entry->count = count;
    entry->newValue = std::move(value);
    entry->edited = true;
    ifd.edited = true;
    return true;
}
