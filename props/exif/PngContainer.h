#pragma once
// Where a PNG file keeps its EXIF block, and the file with that block replaced, or inserted in an
// eXIf chunk before the first image data chunk. Every other chunk is copied as it was.
//
// The block is in an eXIf chunk, or hexadecimal text in a tEXt, zTXt or iTXt chunk whose keyword
// is "Raw profile type exif" (compressed in zTXt, and in iTXt when its flag says so). Readers do
// not agree on which wins when a file has more than one, so the first in file order is the block,
// a write puts the new one in its place in the same form, and the others are dropped.
#include "ByteSink.h"
#include "RawProfile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// How a text chunk holds its block, for writing a new one the same way.
struct PngTextForm {
    char type[4] = {'t', 'E', 'X', 't'};
    size_t headerSize = 0;   // the chunk data before the text: keyword, and an iTXt's fields, kept as they are
    bool compressed = false; // the text is a zlib stream
    bool exifHeader = false; // "Exif\0\0" before the TIFF header, as in a JPEG
    RawProfileLayout layout;
};

// A chunk of the file: from its length field to the end of its CRC.
struct PngChunkRange {
    size_t start = 0;
    size_t size = 0;
};

struct PngExifPlace {
    bool found = false;
    size_t chunk = 0;     // the chunk's length field
    size_t chunkSize = 0; // length, type, data and CRC
    size_t block = 0;     // the TIFF header inside the data of an eXIf chunk
    size_t blockSize = 0;
    size_t insertAt = 0; // before the first IDAT (or IEND); 0 when the file has neither
    // A block in a text chunk is not in the file as it is: it is decoded here.
    bool inText = false;
    std::vector<uint8_t> decoded;
    PngTextForm text;
    // The text could not be decoded (a wrong digit or length, a damaged stream, a block past the
    // cap): blockSize is 0, and WritePngExif refuses to write.
    bool damaged = false;
    // Later chunks holding EXIF too, in file order.
    std::vector<PngChunkRange> others;

    // The block's bytes, blockSize of them, in `file` (the bytes given to FindPngExif) or here.
    const uint8_t* BlockData(const uint8_t* file) const { return inText ? decoded.data() : file + block; }
};

// The most a text chunk's block may decode to. EXIF is made for a JPEG segment of 64 KiB; this
// leaves room for large maker notes and previews, while a hostile file costs at most this much
// memory, and inflating at most about four times as much text, before it is refused.
constexpr size_t kMaxPngTextBlock = 16 * 1024 * 1024;

bool IsPng(const uint8_t* data, size_t size);

// Walks the chunks. False when the bytes do not start a PNG file.
bool FindPngExif(const uint8_t* data, size_t size, PngExifPlace& place);

// Whether a block fits a chunk.
bool FitsPngChunk(size_t blockSize);
// Whether WritePngExif can put a block of that size in the place: it must fit a chunk, and in a
// text chunk stay within kMaxPngTextBlock, so that it can be read back.
bool FitsPngPlace(const PngExifPlace& place, size_t blockSize);

// Writes the file with the new block in the place and form of the old one, and without the other
// chunks that held EXIF; a file without a block gets a new eXIf chunk. The block must fit. False
// when there is nowhere to put it, the old block could not be decoded, the new one is larger than
// a text chunk's block may be, or the sink refuses the bytes.
bool WritePngExif(const uint8_t* data, size_t size, const PngExifPlace& place, const std::vector<uint8_t>& block,
                  ByteSink& sink);

// The CRC-32 that PNG chunks carry, over the chunk's type and data.
uint32_t PngCrc(const uint8_t* data, size_t size, uint32_t crc = 0);
