#pragma once
// Where a PNG file keeps its EXIF block (the eXIf chunk), and the file with that chunk replaced,
// or inserted before the first image data chunk. Every other chunk is copied as it was.
#include "ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct PngExifPlace {
    bool found = false;
    size_t chunk = 0;     // the chunk's length field
    size_t chunkSize = 0; // length, type, data and CRC
    size_t block = 0;     // the TIFF header inside the data
    size_t blockSize = 0;
    size_t insertAt = 0; // before the first IDAT (or IEND); 0 when the file has neither
};

bool IsPng(const uint8_t* data, size_t size);

// Walks the chunks. False when the bytes do not start a PNG file.
bool FindPngExif(const uint8_t* data, size_t size, PngExifPlace& place);

// Whether a block fits a chunk.
bool FitsPngChunk(size_t blockSize);

// Writes the file with the new eXIf chunk; the block must fit. False when there is nowhere to put
// it or the sink refuses the bytes.
bool WritePngExif(const uint8_t* data, size_t size, const PngExifPlace& place, const std::vector<uint8_t>& block,
                  ByteSink& sink);

// The CRC-32 that PNG chunks carry, over the chunk's type and data.
uint32_t PngCrc(const uint8_t* data, size_t size, uint32_t crc = 0);
