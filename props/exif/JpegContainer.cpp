#include "JpegContainer.h"

#include "AfcpTrailer.h"
#include "core/ByteOrder.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr char kExifHeader[] = "Exif\0"; // with the terminating zero: six bytes
constexpr size_t kExifHeaderSize = 6;
// A segment's length field counts itself: at most 65535 bytes after the marker.
constexpr size_t kMaxSegmentLength = 0xFFFF;

bool Standalone(uint8_t marker)
{
    return marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);
}

} // namespace

bool IsJpeg(const uint8_t* data, size_t size)
{
    return data != nullptr && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool FindJpegExif(const uint8_t* data, size_t size, JpegExifPlace& place)
{
    place = JpegExifPlace();
    if (!IsJpeg(data, size)) return false;
    size_t pos = 2;
    bool leadingApp0 = true;
    for (;;) {
        if (pos >= size) {
            place.needed = pos + 4;
            break;
        }
        if (data[pos] != 0xFF) {
            place.needed = pos; // not a marker: the headers end here
            break;
        }
        while (pos < size && data[pos] == 0xFF)
            ++pos; // fill bytes
        if (pos + 3 > size) {
            place.needed = pos + 3;
            break;
        }
        const size_t marker = pos - 1;
        const uint8_t kind = data[pos++];
        if (Standalone(kind)) continue;
        if (kind == kStartOfScan || kind == kEndOfImage) {
            place.needed = pos;
            break;
        }
        const size_t length = (static_cast<size_t>(data[pos]) << 8) | data[pos + 1];
        if (length < 2) {
            place.needed = pos;
            break;
        }
        if (!RangeInside(pos, length, size)) {
            place.needed = pos + length;
            break;
        }
        const size_t body = pos + 2;
        const size_t bodySize = length - 2;
        if (kind == kApp1 && bodySize >= kExifHeaderSize &&
            std::memcmp(data + body, kExifHeader, kExifHeaderSize) == 0) {
            place.found = true;
            place.segment = marker;
            place.segmentSize = pos + length - marker;
            place.block = body + kExifHeaderSize;
            place.blockSize = bodySize - kExifHeaderSize;
            place.needed = pos + length;
            break;
        }
        if (kind == kApp0 && leadingApp0) {
            place.insertAt = pos + length;
        } else {
            leadingApp0 = false;
        }
        pos += length;
    }
    return true;
}

bool FitsJpegSegment(size_t blockSize)
{
    return blockSize <= kMaxSegmentLength - 2 - kExifHeaderSize;
}

bool JpegExifCanChangeSize(const uint8_t* data, size_t size, const JpegExifPlace& place)
{
    const size_t cut = place.found ? place.segment : place.insertAt;
    const size_t resume = place.found ? place.segment + place.segmentSize : place.insertAt;
    const AfcpTrailer trailer = AfcpTrailer::Find(data, size);
    std::vector<uint8_t> directory;
    std::array<uint8_t, AfcpTrailer::kRecordSize> footer{};
    return trailer.state() == AfcpTrailer::State::None || (trailer.state() == AfcpTrailer::State::Valid &&
                                                           trailer.Moved(cut, resume, resume - cut, directory, footer));
}

bool WriteJpegExif(const uint8_t* data, size_t size, const JpegExifPlace& place, const std::vector<uint8_t>& block,
                   ByteSink& sink)
{
    if (!FitsJpegSegment(block.size())) return false;
    const size_t length = 2 + kExifHeaderSize + block.size();
    const size_t cut = place.found ? place.segment : place.insertAt;
    const size_t resume = place.found ? place.segment + place.segmentSize : place.insertAt;
    if (cut > size || resume > size || cut > resume) return false;
    const uint8_t head[] = {
        0xFF, kApp1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0};
    const size_t segmentSize = 2 + length;

    // A trailer's positions move with everything after the segment; one whose positions cannot be
    // moved stays as it was, and then only a segment of the same size may be written.
    const AfcpTrailer trailer = segmentSize != resume - cut ? AfcpTrailer::Find(data, size) : AfcpTrailer();
    std::vector<uint8_t> directory;
    std::array<uint8_t, AfcpTrailer::kRecordSize> footer{};
    if (trailer.state() == AfcpTrailer::State::Unreadable ||
        (trailer.state() == AfcpTrailer::State::Valid && !trailer.Moved(cut, resume, segmentSize, directory, footer)))
        return false;
    if (!sink.Write(data, cut) || !sink.Write(head, sizeof head) || !sink.Write(block.data(), block.size()))
        return false;
    if (trailer.state() != AfcpTrailer::State::Valid) return sink.Write(data + resume, size - resume);
    const size_t start = trailer.Start(), directoryEnd = trailer.DirectoryEnd(), footerStart = trailer.FooterStart();
    return sink.Write(data + resume, start - resume) && sink.Write(directory.data(), directory.size()) &&
           sink.Write(data + directoryEnd, footerStart - directoryEnd) && sink.Write(footer.data(), footer.size());
}
