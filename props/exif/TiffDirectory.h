#pragma once
// The TIFF structure of an EXIF block: IFD0, the EXIF, GPS and interoperability directories and,
// in EXIF blocks, IFD1 with its thumbnail. Values are read in place from the source bytes and
// copied only when an entry is changed, so a large TIFF costs only its directories.
//
// The model keeps, for each directory, where its table lies in the source and which entries of
// that table are readable items; entries it cannot read (unknown types, values out of range,
// repeated tags, pointers that lead nowhere) are not items but stay in the source table, and
// the writer (TiffWriter) copies them as they are. Reading is TiffParser's job.
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
    int32_t slot = -1;              // its place in the source table; -1 for a new entry
    bool edited = false;            // the value is newValue, not the source's
    std::vector<uint8_t> newValue;  // in the block's byte order

    size_t ValueSize() const { return static_cast<size_t>(count) * TypeSize(type); }
};

struct TiffIfd {
    bool present = false;
    bool edited = false;            // an entry changed, or the directory is new
    uint32_t sourceOffset = 0;      // 0 for a new directory
    uint16_t sourceCount = 0;       // entries in the source table, readable or not
    bool nextInside = false;        // the table's next-directory field lies inside the source
    uint32_t next = 0;              // the next-directory field as read
    std::vector<uint16_t> slotTags; // the tag of each source table entry, in table order
    std::vector<TiffEntry> entries; // the readable items

    TiffEntry* Find(uint16_t tag);
    const TiffEntry* Find(uint16_t tag) const;
};

// A range of the source: a directory table, a value, the thumbnail's bytes or one of its strips.
struct SourceRange {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// Where a damaged offset sits: the entry's slot in a directory's table, which a write may replace,
// or -1 for a pointer, a next-directory field or a later directory's entry.
struct DanglingOffset {
    IfdKind kind = IfdKind::Ifd0;
    int32_t slot = -1;
};

class TiffDirectory {
public:
    // In EXIF blocks the directory after IFD0 is the thumbnail's, and any after that (previews)
    // are kept as they are; in TIFF files the next directory is the next page, kept likewise.
    enum class Chain { ExifThumbnail, TiffPages };

    // Reads the block (see TiffParser). False when it has no valid header or IFD0.
    bool Parse(const uint8_t* data, size_t size, Chain chain);
    // An empty block of the given byte order, for an image that has none yet.
    void MakeEmpty(ByteOrder order);

    ByteOrder Order() const { return order_; }
    Chain ChainKind() const { return chain_; }
    const TiffIfd& Ifd(IfdKind kind) const { return ifds_[static_cast<size_t>(kind)]; }
    bool Edited() const;
    // Whether the block was read from bytes (false for one made by MakeEmpty).
    bool HasSource() const { return source_ != nullptr; }
    const uint8_t* Source() const { return source_; }
    size_t SourceSize() const { return sourceSize_; }

    // The value bytes of an entry, in the block's byte order.
    const uint8_t* ValueData(const TiffEntry& entry) const;

    // The JPEG thumbnail's bytes; empty when there is none.
    SourceRange Thumbnail() const { return thumbnail_; }
    // The tables of the directories chained after IFD1 (or after a TIFF file's first page).
    const std::vector<uint32_t>& LaterDirectories() const { return later_; }
    // Every range of the source something known points at, for telling which bytes a changed
    // value leaves free.
    const std::vector<SourceRange>& Referenced() const { return referenced_; }
    // Offsets that point past the block's end (a damaged block): while one stays, the block may
    // not grow, or readers would take new bytes for what it names.
    const std::vector<DanglingOffset>& Dangling() const { return dangling_; }
    // Whether a second pointer (a looping chain) leads to the table at this offset.
    bool PointedAtTwice(uint32_t offset) const;

    // Sets an entry to a value in the block's byte order, creating its directory (and the
    // pointers to it) when needed. IFD1 is never created: a thumbnail needs its image.
    bool SetEntry(IfdKind kind, uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> value);

private:
    friend class TiffParser;
    TiffIfd& MutableIfd(IfdKind kind) { return ifds_[static_cast<size_t>(kind)]; }
    void EnsureIfd(IfdKind kind);

    ByteOrder order_ = ByteOrder::Little;
    Chain chain_ = Chain::ExifThumbnail;
    const uint8_t* source_ = nullptr;
    size_t sourceSize_ = 0;
    std::array<TiffIfd, kIfdKinds> ifds_;
    SourceRange thumbnail_;
    std::vector<uint32_t> later_;
    std::vector<SourceRange> referenced_;
    std::vector<DanglingOffset> dangling_;
    std::vector<uint32_t> pointedTwice_;
};

// The directory a pointer tag of a directory leads to.
bool ChildIfdOf(IfdKind parent, uint16_t tag, IfdKind& child);
// The directory that points at a child directory, and the pointer's tag.
bool ParentIfdOf(IfdKind child, IfdKind& parent, uint16_t& tag);
// Whether an entry can be a directory pointer: one number of an integer type that holds an
// offset (LONG, SLONG or IFD).
bool IsPointerType(uint16_t type, uint32_t count);
