#include "PngContainer.h"

#include "core/ByteReader.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkOverhead = 12; // length, type, CRC
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr char kExifPrefix[] = "Exif\0"; // some writers repeat JPEG's header inside the chunk
constexpr size_t kExifPrefixSize = 6;

std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

uint32_t PngCrc(const uint8_t* data, size_t size, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

bool IsPng(const uint8_t* data, size_t size)
{
    return data != nullptr && size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

bool FindPngExif(const uint8_t* data, size_t size, PngExifPlace& place)
{
    place = PngExifPlace();
    if (!IsPng(data, size)) return false;
    const ByteReader reader(data, size, ByteOrder::Big);
    size_t pos = sizeof kSignature;
    uint32_t length = 0;
    while (reader.U32At(pos, length) && length <= kMaxChunkLength && RangeInside(pos, kChunkOverhead + length, size)) {
        const uint8_t* type = data + pos + 4;
        const size_t body = pos + 8;
        if (std::memcmp(type, "eXIf", 4) == 0 && !place.found) {
            place.found = true;
            place.chunk = pos;
            place.chunkSize = kChunkOverhead + length;
            place.block = body;
            place.blockSize = length;
            if (length >= kExifPrefixSize && std::memcmp(data + body, kExifPrefix, kExifPrefixSize) == 0) {
                place.block += kExifPrefixSize;
                place.blockSize -= kExifPrefixSize;
            }
        }
        const bool end = std::memcmp(type, "IEND", 4) == 0;
        if ((std::memcmp(type, "IDAT", 4) == 0 || end) && place.insertAt == 0) place.insertAt = pos;
        if (end) break;
        pos += kChunkOverhead + length;
    }
    return true;
}

bool FitsPngChunk(size_t blockSize)
{
    return blockSize <= kMaxChunkLength;
}

bool WritePngExif(const uint8_t* data, size_t size, const PngExifPlace& place, const std::vector<uint8_t>& block,
                  ByteSink& sink)
{
    if (!FitsPngChunk(block.size())) return false;
    if (!place.found && place.insertAt == 0) return false;
    const size_t cut = place.found ? place.chunk : place.insertAt;
    const size_t resume = place.found ? place.chunk + place.chunkSize : place.insertAt;
    if (cut > size || resume > size || cut > resume) return false;

    std::vector<uint8_t> chunk;
    chunk.reserve(block.size() + kChunkOverhead);
    PutBig32(chunk, static_cast<uint32_t>(block.size()));
    chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
    chunk.insert(chunk.end(), block.begin(), block.end());
    PutBig32(chunk, PngCrc(chunk.data() + 4, 4 + block.size()));
    return sink.Write(data, cut) && sink.Write(chunk.data(), chunk.size()) && sink.Write(data + resume, size - resume);
}
