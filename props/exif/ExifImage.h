#pragma once
// An image's metadata items, read from and written to the image's own bytes: the EXIF block of a
// JPEG (APP1), a PNG (eXIf) or a TIFF file (its own directories). Items carry the identifiers and
// type numbers of the Windows imaging API, values in little-endian order as that API gives them.
// Writing changes only the EXIF block: every other byte of a JPEG or PNG, and the image data of
// a TIFF, stay as they were.
#include "ByteSink.h"
#include "TiffDirectory.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

enum class ImageFormat { None, Jpeg, Png, Tiff, Gif, Bmp };

// The status numbers of the Windows imaging API, for the messages that report them.
enum class ExifStatus : int {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    Win32Error = 7, // the bytes could not be written
    ValueOverflow = 11,
    PropertyNotSupported = 20,
    // Not the imaging API's: the block holds an offset past its end that the longer block the
    // change needs would bring within reach.
    DamagedOffset = 1000,
    // Nor this: the file ends in a trailer whose positions cannot be moved, and the change needs
    // an EXIF block of another size.
    FixedTrailer = 1001,
};

struct ExifItem {
    uint32_t id = 0;
    uint16_t type = 0;
    std::vector<uint8_t> value; // its length is the item's length
};

class ExifImage {
public:
    ExifImage() = default;
    // The directory reads the owned bytes in place, so an image is not copied.
    ExifImage(const ExifImage&) = delete;
    ExifImage& operator=(const ExifImage&) = delete;

    // Takes an image file's bytes; `whole` false when they are only its head, which is enough to
    // read its items (see HeadNeeded) but not to write it. False when the bytes are no image this
    // layer knows, or a TIFF file without a readable first directory.
    bool Load(std::vector<uint8_t> bytes, bool whole = true);
    // The same over bytes that stay the caller's (a mapped file): they must outlive the image
    // and stay unchanged.
    bool Load(const uint8_t* data, size_t size, bool whole);

    // How many bytes from the start of a file hold its items, judged from its first bytes; more
    // than `size` asks for more, and SIZE_MAX for the whole file.
    static size_t HeadNeeded(const uint8_t* data, size_t size);

    ImageFormat Format() const { return format_; }
    // Whether Save can write this image: a whole JPEG, PNG or TIFF file whose EXIF block, if it
    // has one, could be read.
    bool CanWrite() const;

    size_t ItemCount() const { return ids_.size(); }
    const std::vector<uint32_t>& ItemIds() const { return ids_; }
    bool GetItem(uint32_t id, ExifItem& item) const;
    // The length of an item's value, without copying it; 0 when there is no such item.
    size_t ItemLength(uint32_t id) const;
    // Adds or replaces an item. Items whose values are offsets (directory pointers, strips, the
    // thumbnail) and, in a TIFF file, the items that lay out its image data cannot be set. An
    // EXIF or GPS directory made for a new item gets its version item too.
    ExifStatus SetItem(const ExifItem& item);

    // The block's directories as read and edited.
    const TiffDirectory& Directory() const { return directory_; }

    // Whether an item was set to a value it did not have.
    bool Edited() const { return directory_.Edited(); }
    // The whole file with the items as they are now; the bytes as loaded when nothing changed.
    ExifStatus Save(std::vector<uint8_t>& out) const;
    ExifStatus Save(ByteSink& sink) const;

private:
    struct Location {
        IfdKind ifd;
        uint16_t tag;
        bool thumbnail; // the thumbnail image's own bytes
    };
    bool Parse();
    void Index();
    void AddRequiredItems(bool newBlock, bool newExif, bool newGps);

    std::vector<uint8_t> owned_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool whole_ = false;
    ImageFormat format_ = ImageFormat::None;
    bool hasDirectory_ = false; // false for formats without EXIF and for an unreadable EXIF block
    bool blockDamaged_ = false;
    bool placeKnown_ = false; // where a new EXIF block would go
    size_t blockOffset_ = 0;
    size_t blockSize_ = 0;
    const uint8_t* blockData_ = nullptr; // the block's bytes: in the file, or decoded from it
    std::vector<uint8_t> decodedBlock_;
    bool newBlock_ = false; // the image had no EXIF block: this one is made from nothing
    TiffDirectory directory_;
    std::vector<uint32_t> ids_;
    std::unordered_map<uint32_t, Location> locations_;
};
