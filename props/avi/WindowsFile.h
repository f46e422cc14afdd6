#pragma once
// The AVI layer's file on Windows: one handle, read and written at offsets.
#include "platform/UniqueHandle.h"
#include "props/avi/RandomAccessFile.h"

#include <string>

class WindowsFile : public RandomAccessFile {
public:
    // Opens an existing file: for reading with every kind of sharing, for writing with shared
    // reading only. 0, or the system's error as an HRESULT.
    int32_t Open(const std::wstring& path, bool forWriting);

    int32_t ReadAt(uint64_t offset, uint8_t* data, size_t count) override;
    int32_t WriteAt(uint64_t offset, const uint8_t* data, size_t count) override;
    int32_t Size(uint64_t& size) override;
    int32_t SetSize(uint64_t size) override;
    int32_t Flush() override;

private:
    UniqueHandle handle_;
};
