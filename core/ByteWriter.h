#pragma once
// Builds a byte buffer for the codecs' writers: values in a chosen byte order, and patches of
// sizes and offsets once they are known. A patch outside what was written fails and changes
// nothing.
#include "ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(ByteOrder order = ByteOrder::Little) : order_(order) {}

    ByteOrder Order() const { return order_; }
    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

    void PutU8(uint8_t value) { bytes_.push_back(value); }
    void PutU16(uint16_t value) { Put(value, 2); }
    void PutU32(uint32_t value) { Put(value, 4); }
    void PutBytes(const uint8_t* data, size_t count)
    {
        if (count) bytes_.insert(bytes_.end(), data, data + count);
    }
    void PutBytes(const std::vector<uint8_t>& data) { PutBytes(data.data(), data.size()); }
    void PutText(std::string_view text) { PutBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    // Zero bytes until the size is a multiple of alignment (1 or more).
    void PadTo(size_t alignment)
    {
        while (alignment > 1 && bytes_.size() % alignment != 0)
            bytes_.push_back(0);
    }

    bool PatchU16(size_t offset, uint16_t value) { return Patch(offset, value, 2); }
    bool PatchU32(size_t offset, uint32_t value) { return Patch(offset, value, 4); }

private:
    void Put(uint32_t value, size_t count)
    {
        for (size_t i = 0; i < count; ++i)
            bytes_.push_back(ByteAt(value, i, count));
    }
    bool Patch(size_t offset, uint32_t value, size_t count)
    {
        if (!RangeInside(offset, count, bytes_.size())) return false;
        for (size_t i = 0; i < count; ++i)
            bytes_[offset + i] = ByteAt(value, i, count);
        return true;
    }
    uint8_t ByteAt(uint32_t value, size_t i, size_t count) const
    {
        const size_t shift = 8 * (order_ == ByteOrder::Big ? count - 1 - i : i);
        return static_cast<uint8_t>(value >> shift);
    }

    std::vector<uint8_t> bytes_;
    ByteOrder order_;
};
