#pragma once
// Sole owner of memory that COM's task allocator handed out (shell paths, property strings).
#include <objbase.h>

#include <utility>

template <typename T> class TaskMem {
public:
    TaskMem() = default;
    TaskMem(const TaskMem&) = delete;
    TaskMem& operator=(const TaskMem&) = delete;
    TaskMem(TaskMem&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    TaskMem& operator=(TaskMem&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ~TaskMem() { Reset(); }

    T* Get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For out parameters: frees what is held and hands out the slot.
    T** Put()
    {
        Reset();
        return &ptr_;
    }
    void Reset(T* ptr = nullptr)
    {
        if (ptr_) CoTaskMemFree(ptr_);
        ptr_ = ptr;
    }

private:
    T* ptr_ = nullptr;
};

using TaskMemText = TaskMem<wchar_t>;
