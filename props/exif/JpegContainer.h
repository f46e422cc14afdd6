#pragma once
// Where a JPEG file keeps its EXIF block (an APP1 segment that starts with "Exif\0\0"), and the
// file with that block replaced. Only the headers before the image data are walked; a rewrite
// copies every other byte, the compressed image data included, as it was, but for the positions
// an AFCP trailer at the end of the file holds.
#include "ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct JpegExifPlace {
    bool found = false;
    size_t segment = 0;     // the APP1 marker
    size_t segmentSize = 0; // marker, length field and data
    size_t block = 0;       // the TIFF header inside it
    size_t blockSize = 0;
    size_t insertAt = 2; // where a new APP1 goes: after the start marker and any JFIF APP0
    // How many bytes from the file's start the walk needed; more than the bytes given when it
    // stopped at their end, so that a reader of the file's head knows to read on.
    size_t needed = 0;
};

bool IsJpeg(const uint8_t* data, size_t size);

// Walks the headers. False when the bytes do not start a JPEG file.
bool FindJpegExif(const uint8_t* data, size_t size, JpegExifPlace& place);

// Whether a block fits an APP1 segment.
bool FitsJpegSegment(size_t blockSize);

// Whether a block of another size than the old one may be written: false when the file ends in an
// AFCP trailer whose positions cannot be moved, so that the caller can say why before it tries.
bool JpegExifCanChangeSize(const uint8_t* data, size_t size, const JpegExifPlace& place);

// Writes the file with the EXIF block replaced, or a new APP1 inserted; the block must fit. An AFCP
// trailer after the image (AfcpTrailer.h) gets its positions moved by the change in size. False
// when the sink refuses the bytes, or when the size changes and the file ends in a trailer whose
// positions cannot be moved (it does not check out, or an entry lies in the EXIF segment): the
// write is refused rather than leave the trailer pointing at the wrong bytes.
bool WriteJpegExif(const uint8_t* data, size_t size, const JpegExifPlace& place, const std::vector<uint8_t>& block,
                   ByteSink& sink);
