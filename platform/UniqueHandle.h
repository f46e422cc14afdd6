#pragma once
// Sole owner of a kernel handle; closes it exactly once.
#include <windows.h>

#include <utility>

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        if (IsValid()) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
