#pragma once
// The AFCP trailer that some JPEG files carry after the image: a 12-byte header ("AXS!" when its
// numbers are big-endian, "AXS*" when little-endian, a version, the number of entries, a check
// field), a directory of 12-byte entries (a four-letter name, the size of the entry's bytes and
// their position), the entries' bytes, and a 12-byte footer, the last bytes of the file: the
// signature again, the header's position and a check field. Its positions count from the start of
// the file, not of the trailer, so whatever changes size in front of it must move them too.
#include "core/ByteOrder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class AfcpTrailer {
public:
    enum class State {
        None,       // the file does not end in the footer's signature
        Valid,      // header, directory and every entry check out
        Unreadable, // it ends in the signature, but the rest does not check out
    };

    // Looks at the end of the file; the bytes must outlive the trailer.
    static AfcpTrailer Find(const uint8_t* data, size_t size);

    State state() const { return state_; }
    size_t Start() const { return start_; }
    size_t DirectoryEnd() const { return start_ + kRecordSize + kRecordSize * entries_; }
    size_t FooterStart() const { return size_ - kRecordSize; }
    size_t Entries() const { return entries_; }
    // The size and position of an entry's bytes, inside the file once the trailer is Valid.
    bool Entry(size_t index, uint32_t& length, uint32_t& offset) const;

    // The header with the directory (from Start to DirectoryEnd), and the footer, for the file with
    // its bytes [cut, resume) replaced by `replacement` bytes: positions at or past `resume` move,
    // those before `cut` stay. False when the trailer is not Valid, starts before `resume`, an
    // entry overlaps the replaced bytes, or a position would not fit in 32 bits.
    bool Moved(size_t cut, size_t resume, size_t replacement, std::vector<uint8_t>& directory,
               std::array<uint8_t, 12>& footer) const;

    static constexpr size_t kRecordSize = 12;

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    State state_ = State::None;
    ByteOrder order_ = ByteOrder::Big;
    size_t start_ = 0;
    size_t entries_ = 0;
};
