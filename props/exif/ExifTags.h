#pragma once
// What the EXIF layer knows about tags: the directories an EXIF block holds, the standard tags of
// each, which tags carry offsets into the block (and so cannot be written as plain values), and
// the item identifiers the Windows imaging API gives them. Those identifiers are the tag numbers,
// except where two directories use the same number: the thumbnail directory's tags and the
// interoperability index and version have identifiers of their own.
#include <cstddef>
#include <cstdint>

enum class IfdKind : uint8_t { Ifd0, Exif, Gps, Interop, Ifd1 };
constexpr size_t kIfdKinds = 5;

// Directory pointers and the thumbnail's offset and length.
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTagInteropIfd = 0xA005;
constexpr uint16_t kTagJpegOffset = 0x0201;
constexpr uint16_t kTagJpegLength = 0x0202;
constexpr uint16_t kTagStripOffsets = 0x0111;
constexpr uint16_t kTagStripByteCounts = 0x0117;
constexpr uint16_t kTagMakerNote = 0x927C;
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagGpsVersion = 0x0000;

// The item holding the thumbnail image's own bytes.
constexpr uint32_t kItemThumbnailData = 0x501B;

// TIFF field types: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 6 SBYTE, 7 UNDEFINED, 8 SSHORT,
// 9 SLONG, 10 SRATIONAL, 11 FLOAT, 12 DOUBLE, 13 IFD.
constexpr uint16_t kTypeIfd = 13;
// Bytes of one value of a field type; 0 for a type the format does not define.
size_t TypeSize(uint16_t type);
// Bytes of one number inside a value, for byte-order swapping: a RATIONAL is two 4-byte numbers.
size_t TypeUnit(uint16_t type);

// The identifier of a tag found in a directory.
uint32_t ItemIdOf(IfdKind ifd, uint16_t tag);

// Where an item that is not in the file yet goes: the thumbnail and interoperability identifiers
// to their directories, GPS numbers (0 to 0x1F) to the GPS directory, the standard EXIF tags to
// the EXIF directory, any other 16-bit number to IFD0. False for a larger identifier that names
// no tag.
bool PlaceOfNewItem(uint32_t id, IfdKind& ifd, uint16_t& tag);

// A standard tag of the directory (EXIF 2.32 and TIFF 6.0 tables).
bool IsStandardTag(IfdKind ifd, uint16_t tag);

// A tag whose value is an offset into the block or a count tied to one: directory pointers,
// strips, tiles, free space, the thumbnail and old-style JPEG tables. Such items are never set
// from outside; the writer computes them.
bool IsStructuralTag(uint16_t tag);

// A tag that says how a TIFF file's own image data is laid out or coded; changing it would make
// the image unreadable, so a TIFF file's image directory keeps it as it is.
bool IsImageLayoutTag(uint16_t tag);
