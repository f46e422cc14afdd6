#include "PngContainer.h"

#include "ZlibStream.h"
#include "core/ByteReader.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkOverhead = 12; // length, type, CRC
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
constexpr char kExifHeader[] = "Exif\0"; // JPEG's header, which some writers repeat in PNG
constexpr size_t kExifHeaderSize = 6;
constexpr char kProfileKeyword[] = "Raw profile type exif"; // with its terminating zero
constexpr size_t kProfileKeywordSize = sizeof kProfileKeyword;

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

bool IsType(const uint8_t* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

bool StartsWithExifHeader(const uint8_t* data, size_t size)
{
    return size >= kExifHeaderSize && std::memcmp(data, kExifHeader, kExifHeaderSize) == 0;
}

// Whether a chunk is a text chunk that holds EXIF.
bool IsProfileChunk(const uint8_t* type, const uint8_t* body, size_t length)
{
    const bool text = IsType(type, "tEXt") || IsType(type, "zTXt") || IsType(type, "iTXt");
    return text && length >= kProfileKeywordSize && std::memcmp(body, kProfileKeyword, kProfileKeywordSize) == 0;
}

// Where the text of a profile chunk starts, and whether it is compressed. False when the fields
// between the keyword and the text are not what the chunk type needs.
bool FindProfileText(const uint8_t* type, const uint8_t* body, size_t length, PngTextForm& form)
{
    std::memcpy(form.type, type, 4);
    size_t at = kProfileKeywordSize;
    if (IsType(type, "zTXt")) {
        if (length - at < 1 || body[at] != 0) return false; // 0, zlib, is the only method
        form.compressed = true;
        form.headerSize = at + 1;
        return true;
    }
    if (IsType(type, "iTXt")) {
        // Compression flag and method, then the language tag and the translated keyword, each
        // ending in a zero.
        if (length - at < 2 || body[at] > 1 || body[at + 1] != 0) return false;
        form.compressed = body[at] == 1;
        at += 2;
        for (int field = 0; field < 2; ++field) {
            const void* end = std::memchr(body + at, 0, length - at);
            if (end == nullptr) return false;
            at = static_cast<size_t>(static_cast<const uint8_t*>(end) - body) + 1;
        }
    }
    form.headerSize = at;
    return true;
}

// Decodes the block of a profile chunk into the place; false leaves it marked damaged.
bool DecodeProfile(const uint8_t* type, const uint8_t* body, size_t length, PngExifPlace& place)
{
    if (!FindProfileText(type, body, length, place.text)) return false;
    const uint8_t* text = body + place.text.headerSize;
    const size_t textSize = length - place.text.headerSize;
    RawProfileDecoder decoder(kMaxPngTextBlock + kExifHeaderSize);
    if (place.text.compressed) {
        const auto take = [&decoder](const uint8_t* piece, size_t size) { return decoder.Take(piece, size); };
        if (InflateZlib(text, textSize, take) != InflateResult::Done) return false;
    } else if (!decoder.Take(text, textSize)) {
        return false;
    }
    if (!decoder.Finish()) return false;
    std::vector<uint8_t>& bytes = decoder.Bytes();
    place.text.layout = decoder.Layout();
    place.text.exifHeader = StartsWithExifHeader(bytes.data(), bytes.size());
    if (place.text.exifHeader) {
        bytes.erase(bytes.begin(), bytes.begin() + kExifHeaderSize);
    } else if (bytes.size() > kMaxPngTextBlock) {
        return false;
    }
    place.decoded = std::move(bytes);
    place.blockSize = place.decoded.size();
    return true;
}

// The text chunk that holds the new block as the old one held its own.
bool MakeProfileChunk(const uint8_t* data, size_t size, const PngExifPlace& place, const std::vector<uint8_t>& block,
                      std::vector<uint8_t>& chunk)
{
    const PngTextForm& form = place.text;
    if (!RangeInside(place.chunk + 8, form.headerSize, size)) return false;
    std::vector<uint8_t> payload;
    payload.reserve(block.size() + kExifHeaderSize);
    if (form.exifHeader) payload.assign(kExifHeader, kExifHeader + kExifHeaderSize);
    payload.insert(payload.end(), block.begin(), block.end());
    const std::string text = EncodeRawProfile(payload.data(), payload.size(), form.layout);
    const auto* textBytes = reinterpret_cast<const uint8_t*>(text.data());
    std::vector<uint8_t> compressed;
    if (form.compressed && !DeflateZlib(textBytes, text.size(), compressed)) return false;
    const uint8_t* body = form.compressed ? compressed.data() : textBytes;
    const size_t bodySize = form.compressed ? compressed.size() : text.size();
    if (bodySize > kMaxChunkLength - form.headerSize) return false;

    const size_t length = form.headerSize + bodySize;
    chunk.clear();
    chunk.reserve(length + kChunkOverhead);
    PutBig32(chunk, static_cast<uint32_t>(length));
    chunk.insert(chunk.end(), form.type, form.type + 4);
    chunk.insert(chunk.end(), data + place.chunk + 8, data + place.chunk + 8 + form.headerSize);
    chunk.insert(chunk.end(), body, body + bodySize);
    PutBig32(chunk, PngCrc(chunk.data() + 4, 4 + length));
    return true;
}

void MakeExifChunk(const std::vector<uint8_t>& block, std::vector<uint8_t>& chunk)
{
    chunk.clear();
    chunk.reserve(block.size() + kChunkOverhead);
    PutBig32(chunk, static_cast<uint32_t>(block.size()));
    chunk.insert(chunk.end(), {'e', 'X', 'I', 'f'});
    chunk.insert(chunk.end(), block.begin(), block.end());
    PutBig32(chunk, PngCrc(chunk.data() + 4, 4 + block.size()));
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
        const bool exif = IsType(type, "eXIf");
        const bool profile = !exif && IsProfileChunk(type, data + body, length);
        if ((exif || profile) && place.found) {
            place.others.push_back({pos, kChunkOverhead + length});
        } else if (exif || profile) {
            place.found = true;
            place.chunk = pos;
            place.chunkSize = kChunkOverhead + length;
            if (exif) {
                place.block = body;
                place.blockSize = length;
                if (StartsWithExifHeader(data + body, length)) {
                    place.block += kExifHeaderSize;
                    place.blockSize -= kExifHeaderSize;
                }
            } else {
                place.inText = true;
                place.damaged = !DecodeProfile(type, data + body, length, place);
                if (place.damaged) {
                    place.decoded.clear();
                    place.blockSize = 0;
                }
            }
        }
        const bool end = IsType(type, "IEND");
        if ((IsType(type, "IDAT") || end) && place.insertAt == 0) place.insertAt = pos;
        if (end) break;
        pos += kChunkOverhead + length;
    }
    return true;
}

bool FitsPngChunk(size_t blockSize)
{
    return blockSize <= kMaxChunkLength;
}

bool FitsPngPlace(const PngExifPlace& place, size_t blockSize)
{
    return FitsPngChunk(blockSize) && (!place.inText || blockSize <= kMaxPngTextBlock);
}

bool WritePngExif(const uint8_t* data, size_t size, const PngExifPlace& place, const std::vector<uint8_t>& block,
                  ByteSink& sink)
{
    if (!FitsPngPlace(place, block.size())) return false;
    if (!place.found && place.insertAt == 0) return false;
    if (place.found && place.damaged) return false;
    const size_t cut = place.found ? place.chunk : place.insertAt;
    const size_t resume = place.found ? place.chunk + place.chunkSize : place.insertAt;
    if (cut > size || resume > size || cut > resume) return false;
    size_t from = resume;
    for (const PngChunkRange& other : place.others) {
        if (other.start < from || !RangeInside(other.start, other.size, size)) return false;
        from = other.start + other.size;
    }

    std::vector<uint8_t> chunk;
    if (place.inText) {
        if (!MakeProfileChunk(data, size, place, block, chunk)) return false;
    } else {
        MakeExifChunk(block, chunk);
    }
    if (!sink.Write(data, cut) || !sink.Write(chunk.data(), chunk.size())) return false;
    // What follows, without the other chunks that held EXIF.
    from = resume;
    for (const PngChunkRange& other : place.others) {
        if (!sink.Write(data + from, other.start - from)) return false;
        from = other.start + other.size;
    }
    return sink.Write(data + from, size - from);
}
