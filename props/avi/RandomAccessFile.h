#pragma once
// The few file operations the AVI layer needs, so that the layer itself is plain C++: a Windows
// file in the program (WindowsFile), bytes in memory in the tests and the fuzzer (MemoryFile).
// Each operation returns an AviStatus code or a system error in HRESULT form; a read or write
// either happens whole or fails.
#include <cstddef>
#include <cstdint>

class RandomAccessFile {
public:
    RandomAccessFile() = default;
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;
    virtual ~RandomAccessFile() = default;

    virtual int32_t ReadAt(uint64_t offset, uint8_t* data, size_t count) = 0;
    virtual int32_t WriteAt(uint64_t offset, const uint8_t* data, size_t count) = 0;
    virtual int32_t Size(uint64_t& size) = 0;
    // Cuts the file or lengthens it with zero bytes.
    virtual int32_t SetSize(uint64_t size) = 0;
    // Puts what was written on the disk; nothing to do for memory.
    virtual int32_t Flush() { return 0; }
};
