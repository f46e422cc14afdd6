#include "ExifImage.h"

#include "ImageSize.h"
#include "JpegContainer.h"
#include "PngContainer.h"
#include "TiffWriter.h"

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
    blockData_ = nullptr;
    decodedBlock_.clear();
    newBlock_ = false;
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
            // A block in a text chunk is decoded; the directory reads the decoded bytes in place.
            if (place.inText) {
                decodedBlock_ = std::move(place.decoded);
                blockData_ = decodedBlock_.data();
            }
        }
        if (found) {
            if (blockData_ == nullptr) blockData_ = data + blockOffset_;
            hasDirectory_ = directory_.Parse(blockData_, blockSize_, TiffDirectory::Chain::ExifThumbnail);
            blockDamaged_ = !hasDirectory_;
        } else {
            // EXIF blocks this layer writes from scratch are little-endian, as on the platform.
            directory_.MakeEmpty(ByteOrder::Little);
            hasDirectory_ = true;
            newBlock_ = true;
        }
    } else if (IsTiff(data, size)) {
        if (!directory_.Parse(data, size, TiffDirectory::Chain::TiffPages)) return false;
        format_ = ImageFormat::Tiff;
        hasDirectory_ = true;
        blockSize_ = size;
        blockData_ = data;
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
        const uint8_t* block = blockData_;
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
    const bool firstInNewBlock = newBlock_ && !directory_.Edited();
    if (!directory_.SetEntry(kind, tag, item.type, count, std::move(value))) return ExifStatus::PropertyNotSupported;
    AddRequiredItems(firstInNewBlock, newExif, newGps);
    Index();
    return ExifStatus::Ok;
}

void ExifImage::AddRequiredItems(bool newBlock, bool newExif, bool newGps)
{
    // Items readers require of a block or directory made here, unless an item of that identifier
    // is there already (in a damaged file, elsewhere). Values are little-endian, as items travel.
    const auto absent = [this](IfdKind where, uint16_t tag) {
        return directory_.Ifd(where).Find(tag) == nullptr && locations_.count(ItemIdOf(where, tag)) == 0;
    };
    const auto add = [this, &absent](IfdKind where, uint16_t tag, uint16_t type, std::vector<uint8_t> value) {
        if (!absent(where, tag)) return;
        const auto count = static_cast<uint32_t>(value.size() / TypeSize(type));
        directory_.SetEntry(where, tag, type, count, SwapUnits(value.data(), value.size(), type, directory_.Order()));
    };
    const auto shortValue = [](uint32_t n) { return std::vector<uint8_t>{uint8_t(n), uint8_t(n >> 8)}; };
    const auto longValue = [](uint32_t n) {
        return std::vector<uint8_t>{uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    };
    const std::vector<uint8_t> dpi72 = {72, 0, 0, 0, 1, 0, 0, 0};
    if (newBlock) {
        // 72 pixels per inch is what a file that says nothing is taken to have.
        add(IfdKind::Ifd0, 0x011A, 5, dpi72);
        add(IfdKind::Ifd0, 0x011B, 5, dpi72);
        add(IfdKind::Ifd0, 0x0128, 3, shortValue(2));
        if (format_ == ImageFormat::Jpeg) add(IfdKind::Ifd0, 0x0213, 3, shortValue(1)); // centred chroma
    }
    if (newExif) {
        add(IfdKind::Exif, kTagExifVersion, 7, {'0', '2', '3', '2'});
        if (format_ == ImageFormat::Jpeg) add(IfdKind::Exif, 0x9101, 7, {1, 2, 3, 0}); // Y, Cb, Cr
        add(IfdKind::Exif, 0xA000, 7, {'0', '1', '0', '0'});
        // Nothing here says which colour space the pixels are in: "uncalibrated".
        add(IfdKind::Exif, 0xA001, 3, shortValue(0xFFFF));
        // Readers require the size of a compressed image only; a PNG's is in its own header.
        PixelSize pixels;
        if (format_ == ImageFormat::Jpeg && JpegPixelSize(data_, size_, pixels)) {
            add(IfdKind::Exif, 0xA002, 4, longValue(pixels.width));
            add(IfdKind::Exif, 0xA003, 4, longValue(pixels.height));
        }
    }
    if (newGps) add(IfdKind::Gps, kTagGpsVersion, 1, {2, 3, 0, 0});
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
    TiffEdit edit;
    switch (TiffWriter::Write(directory_, edit)) {
    case TiffWriteResult::Ok: break;
    case TiffWriteResult::TooLarge: return ExifStatus::ValueOverflow;
    case TiffWriteResult::GrowsDamaged: return ExifStatus::DamagedOffset;
    }
    // A TIFF file is the block: written out in parts, its image data never copied.
    if (format_ == ImageFormat::Tiff) return written(edit.Write(data_, size_, sink));
    const std::vector<uint8_t> block = edit.Apply(directory_.Source(), directory_.HasSource() ? blockSize_ : 0);
    if (format_ == ImageFormat::Jpeg) {
        JpegExifPlace place;
        FindJpegExif(data_, size_, place);
        if (!FitsJpegSegment(block.size())) return ExifStatus::ValueOverflow;
        const size_t oldSize = place.found ? place.blockSize : 0;
        if (block.size() != oldSize && !JpegExifCanChangeSize(data_, size_, place)) return ExifStatus::FixedTrailer;
        return written(WriteJpegExif(data_, size_, place, block, sink));
    }
    PngExifPlace place;
    FindPngExif(data_, size_, place);
    if (!FitsPngPlace(place, block.size())) return ExifStatus::ValueOverflow;
    return written(WritePngExif(data_, size_, place, block, sink));
}
