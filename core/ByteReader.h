#pragma once
// A cursor over bytes that belong to someone else, for the codecs: every read is bounds-checked
// and either succeeds whole or fails leaving the cursor and the out value untouched, so a
// malformed file gives a clear failure, never a read past the end.
#include "ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size, ByteOrder order = ByteOrder::Little)
        : data_(size ? data : nullptr), size_(data ? size : 0), order_(order)
    {}
    explicit ByteReader(const std::vector<uint8_t>& bytes, ByteOrder order = ByteOrder::Little)
        : ByteReader(bytes.data(), bytes.size(), order)
    {}

    size_t Size() const { return size_; }
    size_t Offset() const { return offset_; }
    size_t Remaining() const { return size_ - offset_; }
    const uint8_t* Data() const { return data_; }
    ByteOrder Order() const { return order_; }
    void SetOrder(ByteOrder order) { order_ = order; }

    bool Seek(size_t offset);
    bool Skip(size_t count);

    bool ReadU8(uint8_t& out);
    bool ReadU16(uint16_t& out);
    bool ReadU32(uint32_t& out);
    // Copies count bytes; fails without reading when fewer remain.
    bool ReadBytes(size_t count, std::vector<uint8_t>& out);
    bool ReadText(size_t count, std::string& out);

    // Reads at an absolute offset without moving the cursor.
    bool U8At(size_t offset, uint8_t& out) const;
    bool U16At(size_t offset, uint16_t& out) const;
    bool U32At(size_t offset, uint32_t& out) const;

    // A reader over [offset, offset + length) of this one, in the same byte order; false when the
    // range is not inside.
    bool Slice(size_t offset, size_t length, ByteReader& out) const;

private:
    uint32_t Compose(const uint8_t* bytes, size_t count) const;

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t offset_ = 0;
    ByteOrder order_ = ByteOrder::Little;
};
