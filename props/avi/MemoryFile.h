#pragma once
// A file held in memory, for the tests and the fuzzer of the AVI layer. It grows only up to a
// limit, so that a size read from a damaged file cannot make it take all memory.
#include "props/avi/AviStatus.h"
#include "props/avi/RandomAccessFile.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

class MemoryFile : public RandomAccessFile {
public:
    explicit MemoryFile(std::vector<uint8_t> bytes = {}, uint64_t limit = uint64_t{64} << 20)
        : bytes_(std::move(bytes)), limit_(limit)
    {}

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // How many write and resize calls changed the file.
    int Changes() const { return changes_; }

    int32_t ReadAt(uint64_t offset, uint8_t* data, size_t count) override
    {
        if (!Inside(offset, count)) return AviStatus::FileRead;
        if (count) std::memcpy(data, bytes_.data() + offset, count);
        return AviStatus::Ok;
    }
    int32_t WriteAt(uint64_t offset, const uint8_t* data, size_t count) override
    {
        if (offset > limit_ || count > limit_ - offset) return AviStatus::FileWrite;
        if (offset + count > bytes_.size()) bytes_.resize(static_cast<size_t>(offset + count));
        if (count) std::memcpy(bytes_.data() + offset, data, count);
        ++changes_;
        return AviStatus::Ok;
    }
    int32_t Size(uint64_t& size) override
    {
        size = bytes_.size();
        return AviStatus::Ok;
    }
    int32_t SetSize(uint64_t size) override
    {
        if (size > limit_) return AviStatus::FileWrite;
        bytes_.resize(static_cast<size_t>(size));
        ++changes_;
        return AviStatus::Ok;
    }

private:
    bool Inside(uint64_t offset, size_t count) const
    {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }

    std::vector<uint8_t> bytes_;
    uint64_t limit_;
    int changes_ = 0;
};
