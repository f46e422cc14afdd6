#pragma once
// PNG files as the EXIF tests read and build them: chunks with their CRCs checked or made.
#include "props/exif/PngContainer.h"
#include "tests/props/exif/ExifTestBytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PngChunk {
    std::string type;
    Bytes data;
    bool crcValid = true;
};

// The chunks after the signature, up to the first that runs past the end.
inline std::vector<PngChunk> PngChunks(const Bytes& png)
{
    std::vector<PngChunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const size_t length =
            (size_t{png[at]} << 24) | (size_t{png[at + 1]} << 16) | (size_t{png[at + 2]} << 8) | png[at + 3];
        if (at + 12 + length > png.size()) break;
        const uint8_t* crc = &png[at + 8 + length];
        const uint32_t stored = (uint32_t{crc[0]} << 24) | (uint32_t{crc[1]} << 16) | (uint32_t{crc[2]} << 8) | crc[3];
        chunks.push_back({std::string(png.begin() + at + 4, png.begin() + at + 8),
                          Bytes(png.begin() + at + 8, png.begin() + at + 8 + length),
                          stored == PngCrc(&png[at + 4], 4 + length)});
        at += 12 + length;
    }
    return chunks;
}

// A PNG file of the chunks, each with its CRC.
inline Bytes PngFile(const std::vector<PngChunk>& chunks)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const PngChunk& chunk : chunks) {
        const size_t length = chunk.data.size();
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(length >> shift));
        const size_t typeAt = out.size();
        out.insert(out.end(), chunk.type.begin(), chunk.type.end());
        out.insert(out.end(), chunk.data.begin(), chunk.data.end());
        const uint32_t crc = PngCrc(&out[typeAt], 4 + length);
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(crc >> shift));
    }
    return out;
}
