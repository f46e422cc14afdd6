#pragma once
// Writes a changed TIFF structure without moving any byte of the source. Maker notes, previews
// and trailers may hold offsets into the block that only their owner understands, so nothing the
// layer does not own may move: a changed value is written over its old one when it fits, and
// otherwise into room that a changed value or a moved table left free, or after the source; a
// table is rewritten where it is unless it gains entries; only the pointers to directories (and
// the header's) change. A block made from nothing is the same with an empty source.
//
// The result is a set of patches over the source and a tail after it, so that a TIFF file of
// many megabytes is written as its unchanged parts and the few new bytes, never copied whole.
#include "ByteSink.h"
#include "TiffDirectory.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class TiffEdit {
public:
    // Bytes to write over the source at an offset below its size; overlapping and adjacent
    // patches merge.
    void Patch(const uint8_t* source, size_t sourceSize, size_t offset, const uint8_t* data, size_t size);

    // The whole new block, or the new block written out in parts.
    std::vector<uint8_t> Apply(const uint8_t* source, size_t sourceSize) const;
    bool Write(const uint8_t* source, size_t sourceSize, ByteSink& sink) const;

    size_t Size(size_t sourceSize) const { return tail.empty() ? sourceSize : tailAt + tail.size(); }

    size_t tailAt = 0; // the source's size rounded up to even: the tail starts here
    std::vector<uint8_t> tail;

private:
    std::map<size_t, std::vector<uint8_t>> patches_;
};

enum class TiffWriteResult {
    Ok,
    TooLarge,     // the new block would not fit 32-bit offsets or a table its 16-bit count
    GrowsDamaged, // the block would grow while an offset in it points past its end
};

class TiffWriter {
public:
    static TiffWriteResult Write(const TiffDirectory& directory, TiffEdit& out);
};
