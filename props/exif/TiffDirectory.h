#pragma once
// The TIFF structure of an EXIF block: IFD0, the EXIF, GPS and interoperability directories and,
// in EXIF blocks, IFD1 with its thumbnail. Values are read in place from the source bytes and
// copied only when an entry is changed, so a large TIFF costs only its directories.
//
// Two ways to write it back, because some values hold offsets that only their owner understands:
// - Rebuild lays out a fresh block (JPEG and PNG). Values of maker notes and of tags it does not
//   know may hold offsets into the old layout, so they keep their old offsets and the rest is laid
//   out around them; the thumbnail moves with its bytes.
// - AppendChanges keeps every source byte where it is and adds the changed directories and values
//   at the end (TIFF files, whose image data must not move, and EXIF blocks holding offsets the
//   rebuild cannot follow).
// The source bytes must outlive the directory and stay unchanged.
#include "ExifTags.h"
#include "core/ByteOrder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::array<uint8_t, 4> field{}; // the value or offset field as read
    uint32_t valueOffset = 0;       // where a value of more than 4 bytes lies in the source
    bool edited = false;            // the value is newValue, not the source's
    std::vector<uint8_t> newValue;  // in the block's byte order

    size_t ValueSize() const { return static_cast<size_t>(count) * TypeSize(type); }
};

struct TiffIfd {
    bool present = false;
    bool edited = false; // an entry changed, or the directory is new
    // Something in it was left out (a value out of range, a pointer that leads nowhere); written
    // back, it must be written afresh, or the block growing could bring the bad value into range.
    bool damaged = false;
    uint32_t sourceOffset = 0; // 0 for a new directory
    uint32_t next = 0;         // the next-directory field as read
    std::vector<TiffEntry> entries;
    // Entries of types this layer does not know: not items, and their size is unknown, so they
    // are kept only where the source stays in place (AppendChanges).
    std::vector<TiffEntry> opaque;

    TiffEntry* Find(uint16_t tag);
    const TiffEntry* Find(uint16_t tag) const;
};

// A range of the source: the thumbnail's bytes or one of its strips.
struct SourceRange {
    uint32_t offset = 0;
    uint32_t length = 0;
};

class TiffDirectory {
public:
    // In EXIF blocks the directory after IFD0 is the thumbnail's; in TIFF files it is the next
    // page, which stays untouched.
    enum class Chain { ExifThumbnail, TiffPages };

    // Reads the block. False when it has no valid header or IFD0; damaged entries (values out of
    // range, unknown types, repeated tags) and directories (out of range, or reached twice) are
    // left out.
    bool Parse(const uint8_t* data, size_t size, Chain chain);
    // An empty block of the given byte order, for an image that has none yet.
    void MakeEmpty(ByteOrder order);

    ByteOrder Order() const { return order_; }
    const TiffIfd& Ifd(IfdKind kind) const { return ifds_[static_cast<size_t>(kind)]; }
    bool Edited() const;

    // The value bytes of an entry, in the block's byte order.
    const uint8_t* ValueData(const TiffEntry& entry) const;

    // The JPEG thumbnail's bytes; empty when there is none.
    SourceRange Thumbnail() const { return thumbnail_; }

    // Sets an entry to a value in the block's byte order, creating its directory (and the
    // pointers to it) when needed. IFD1 is never created: a thumbnail needs its image.
    bool SetEntry(IfdKind kind, uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> value);

    // Whether Rebuild can lay out every offset this block holds and keep every entry.
    bool CanRebuild() const;
    // A new block laid out afresh. False when an offset would not fit in 32 bits.
    bool Rebuild(std::vector<uint8_t>& out) const;
    // The source with the changed directories and values appended.
    bool AppendChanges(std::vector<uint8_t>& out) const;
    // The same in parts, for writing a large source without copying it: what follows the source
    // (from its size rounded up to even) and the header with the first directory's offset.
    bool AppendedTail(std::vector<uint8_t>& tail, uint32_t& firstIfd) const;
    void Header(uint32_t firstIfd, uint8_t header[8]) const;

private:
    TiffIfd& MutableIfd(IfdKind kind) { return ifds_[static_cast<size_t>(kind)]; }
    bool ReadIfd(uint32_t offset, IfdKind kind, std::vector<uint32_t>& visited);
    void ReadChild(IfdKind parent, uint16_t pointerTag, IfdKind child, std::vector<uint32_t>& visited);
    void CheckThumbnail();
    void EnsureIfd(IfdKind kind);

    ByteOrder order_ = ByteOrder::Little;
    Chain chain_ = Chain::ExifThumbnail;
    const uint8_t* source_ = nullptr;
    size_t sourceSize_ = 0;
    std::array<TiffIfd, kIfdKinds> ifds_;
    SourceRange thumbnail_;
    std::vector<SourceRange> thumbnailStrips_;
};
