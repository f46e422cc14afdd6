#include "ExifImage.h"

#include "JpegContainer.h"
#include "PngContainer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The order items are listed in: the image's own directory, then what hangs off it, then the
// thumbnail's.
constexpr IfdKind kListOrder[] = {IfdKind::Ifd0, IfdKind::Exif, IfdKind::Gps, IfdKind::Interop, IfdKind::Ifd1};

bool IsTiff(const uint8_t* data, size_t size)
{
    return size >= 4 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
                         (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42));
}

bool IsGif(const uint8_t* data, size_t size)
{
    return size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0);
}

bool IsBmp(const uint8_t* data, size_t size)
{
    return size >= 26 && data[0] == 'B' && data[1] == 'M';
}

// Values travel little-endian; a big-endian block holds each number the other way round.
std::vector<uint8_t> SwapUnits(const uint8_t* data, size_t size, uint16_t type, ByteOrder from)
{
    std::vector<uint8_t> out(data, data + size);
    const size_t unit = TypeUnit(type);
    if (from == ByteOrder::Little || unit < 2) return out;
    for (size_t at = 0; at + unit <= size; at += unit)
        std::reverse(out.begin() + at, out.begin() + at + unit);
    return out;
}

} // namespace

bool ExifImage::Load(std::vector<uint8_t> bytes, bool whole)
{
    owned_ = std::move(bytes);
    data_ = owned_.data();
    size_ = owned_.size();
    whole_ = whole;
    return Parse();
}

bool ExifImage::Load(const uint8_t* data, size_t size, bool whole)
{
    owned_.clear();
    data_ = data;
    size_ = data != nullptr ? size : 0;
    whole_ = whole;
    return Parse();
}

bool ExifImage::Parse()
{
    format_ = ImageFormat::None;
    hasDirectory_ = false;
    blockDamaged_ = false;
    placeKnown_ = true;
    blockOffset_ = blockSize_ = 0;
    directory_ = TiffDirectory();
    ids_.clear();
    locations_.clear();
    const uint8_t* data = data_;
    const size_t size = size_;

    if (IsJpeg(data, size) || IsPng(data, size)) {
        bool found = false;
        if (IsJpeg(data, size)) {
            format_ = ImageFormat::Jpeg;
            JpegExifPlace place;
            FindJpegExif(data, size, place);
            found = place.found;
            blockOffset_ = place.block;
            blockSize_ = place.blockSize;
        } else {
            format_ = ImageFormat::Png;
            PngExifPlace place;
            FindPngExif(data, size, place);
            found = place.found;
            placeKnown_ = place.found || place.insertAt != 0;
            blockOffset_ = place.block;
            blockSize_ = place.blockSize;
            if (place.inText) { // interim, until the image keeps its PngExifPlace: the decoded block after the file
                if (owned_.data() != data) owned_.assign(data, data + size);
                owned_.insert(owned_.end(), place.BlockData(data), place.BlockData(data) + place.blockSize);
                data_ = data = owned_.data();
                blockOffset_ = size;
            }
        }
        if (found) {
            hasDirectory_ = directory_.Parse(data + blockOffset_, blockSize_, TiffDirectory::Chain::ExifThumbnail);
            blockDamaged_ = !hasDirectory_;
        } else {
            // EXIF blocks this layer writes from scratch are little-endian, as on the platform.
            directory_.MakeEmpty(ByteOrder::Little);
            hasDirectory_ = true;
        }
    } else if (IsTiff(data, size)) {
        if (!directory_.Parse(data, size, TiffDirectory::Chain::TiffPages)) return false;
        format_ = ImageFormat::Tiff;
        hasDirectory_ = true;
        blockSize_ = size;
    } else if (IsGif(data, size)) {
        format_ = ImageFormat::Gif;
    } else if (IsBmp(data, size)) {
        format_ = ImageFormat::Bmp;
    } else {
        return false;
    }
    Index();
    return true;
}

size_t ExifImage::HeadNeeded(const uint8_t* data, size_t size)
{
    JpegExifPlace place;
    if (!FindJpegExif(data, size, place)) return std::numeric_limits<size_t>::max();
    return place.needed;
}

bool ExifImage::CanWrite() const
{
    const bool writable = format_ == ImageFormat::Jpeg || format_ == ImageFormat::Png || format_ == ImageFormat::Tiff;
    return writable && whole_ && hasDirectory_ && !blockDamaged_ && placeKnown_;
}

void ExifImage::Index()
{
    ids_.clear();
    locations_.clear();
    if (!hasDirectory_) return;
    for (IfdKind kind : kListOrder) {
        const TiffIfd& ifd = directory_.Ifd(kind);
        if (!ifd.present) continue;
        // In tag order, as a write lays entries out, so that the same entry wins an identifier
        // that two entries share before and after a write.
        std::vector<uint16_t> tags;
        for (const TiffEntry& entry : ifd.entries)
            tags.push_back(entry.tag);
        std::sort(tags.begin(), tags.end());
        for (const uint16_t tag : tags) {
            const uint32_t id = ItemIdOf(kind, tag);
            // Identifiers are unique: one that two entries share is listed from the first.
            if (locations_.emplace(id, Location{kind, tag, false}).second) ids_.push_back(id);
        }
    }
    if (directory_.Thumbnail().length > 0 &&
        locations_.emplace(kItemThumbnailData, Location{IfdKind::Ifd1, 0, true}).second)
        ids_.push_back(kItemThumbnailData);
}

bool ExifImage::GetItem(uint32_t id, ExifItem& item) const
{
    const auto found = locations_.find(id);
    if (found == locations_.end()) return false;
    const Location& location = found->second;
    item.id = id;
    if (location.thumbnail) {
        const SourceRange range = directory_.Thumbnail();
        const uint8_t* block = data_ + blockOffset_;
        item.type = 1;
        item.value.assign(block + range.offset, block + range.offset + range.length);
        return true;
    }
    const TiffEntry* entry = directory_.Ifd(location.ifd).Find(location.tag);
    if (entry == nullptr) return false;
    item.type = entry->type;
    item.value = SwapUnits(directory_.ValueData(*entry), entry->ValueSize(), entry->type, directory_.Order());
    return true;
}

size_t ExifImage::ItemLength(uint32_t id) const
{
    const auto found = locations_.find(id);
    if (found == locations_.end()) return 0;
    if (found->second.thumbnail) return directory_.Thumbnail().length;
    const TiffEntry* entry = directory_.Ifd(found->second.ifd).Find(found->second.tag);
    return entry == nullptr ? 0 : entry->ValueSize();
}

ExifStatus ExifImage::SetItem(const ExifItem& item)
{
    if (!hasDirectory_ || blockDamaged_) return ExifStatus::PropertyNotSupported;
    const size_t unit = TypeSize(item.type);
    if (unit == 0 || item.type == kTypeIfd || item.value.empty() || item.value.size() % unit != 0)
        return ExifStatus::InvalidParameter;
    if (item.value.size() / unit > std::numeric_limits<uint32_t>::max()) return ExifStatus::ValueOverflow;
    if (item.id == kItemThumbnailData) return ExifStatus::PropertyNotSupported;

    IfdKind kind = IfdKind::Ifd0;
    uint16_t tag = 0;
    const auto found = locations_.find(item.id);
    if (found != locations_.end()) {
        kind = found->second.ifd;
        tag = found->second.tag;
    } else if (!PlaceOfNewItem(item.id, kind, tag)) {
        return ExifStatus::PropertyNotSupported;
    }
    if (IsStructuralTag(tag)) return ExifStatus::PropertyNotSupported;
    if (format_ == ImageFormat::Tiff && kind == IfdKind::Ifd0 && IsImageLayoutTag(tag))
        return ExifStatus::PropertyNotSupported;

    // Little-endian in, the block's own order stored: swapping twice restores.
    std::vector<uint8_t> value = SwapUnits(item.value.data(), item.value.size(), item.type, directory_.Order());
    const auto count = static_cast<uint32_t>(item.value.size() / unit);
    const bool newExif = !directory_.Ifd(IfdKind::Exif).present && (kind == IfdKind::Exif || kind == IfdKind::Interop);
    const bool newGps = !directory_.Ifd(IfdKind::Gps).present && kind == IfdKind::Gps;
    if (!directory_.SetEntry(kind, tag, item.type, count, std::move(value))) return ExifStatus::PropertyNotSupported;
    // A directory made here says which version of its layout it follows, as readers expect,
    // unless an item of that identifier is there already (in a damaged file, elsewhere).
    const auto absent = [this](IfdKind where, uint16_t version) {
        return directory_.Ifd(where).Find(version) == nullptr && locations_.count(ItemIdOf(where, version)) == 0;
    };
    if (newExif && absent(IfdKind::Exif, kTagExifVersion))
        directory_.SetEntry(IfdKind::Exif, kTagExifVersion, 7, 4, {'0', '2', '3', '2'});
    if (newGps && absent(IfdKind::Gps, kTagGpsVersion))
        directory_.SetEntry(IfdKind::Gps, kTagGpsVersion, 1, 4, {2, 3, 0, 0});
    Index();
    return ExifStatus::Ok;
}

ExifStatus ExifImage::Save(std::vector<uint8_t>& out) const
{
    out.clear();
    VectorSink sink(out);
    return Save(sink);
}

ExifStatus ExifImage::Save(ByteSink& sink) const
{
    if (!CanWrite()) return ExifStatus::GenericError;
    const auto written = [](bool ok) { return ok ? ExifStatus::Ok : ExifStatus::Win32Error; };
    if (!directory_.Edited()) return written(sink.Write(data_, size_));
    if (format_ == ImageFormat::Tiff) {
        // The file as it was but for the header's first offset, then the new directories.
        std::vector<uint8_t> tail;
        uint32_t firstIfd = 0;
        if (!directory_.AppendedTail(tail, firstIfd)) return ExifStatus::ValueOverflow;
        uint8_t header[8];
        directory_.Header(firstIfd, header);
        const uint8_t pad[1] = {0};
        return written(sink.Write(header, sizeof header) && sink.Write(data_ + 8, size_ - 8) &&
                       sink.Write(pad, size_ % 2) && sink.Write(tail.data(), tail.size()));
    }
    std::vector<uint8_t> block;
    const bool built = directory_.CanRebuild() ? directory_.Rebuild(block) : directory_.AppendChanges(block);
    if (!built) return ExifStatus::ValueOverflow;
    if (format_ == ImageFormat::Jpeg) {
        JpegExifPlace place;
        FindJpegExif(data_, size_, place);
        if (!FitsJpegSegment(block.size())) return ExifStatus::ValueOverflow;
        return written(WriteJpegExif(data_, size_, place, block, sink));
    }
    PngExifPlace place;
    FindPngExif(data_, size_, place);
    if (!FitsPngChunk(block.size())) return ExifStatus::ValueOverflow;
    return written(WritePngExif(data_, size_, place, block, sink));
}
