#pragma once
// Move-only owner of one COM interface reference.
#include <unknwn.h>

#include <utility>

template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    // For out parameters: releases what is held and hands out the slot.
    T** Put()
    {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    void Reset(T* ptr = nullptr)
    {
        if (ptr_) ptr_->Release();
        ptr_ = ptr;
    }

    template <typename U> ComPtr<U> As(REFIID iid) const
    {
        ComPtr<U> out;
        if (ptr_) ptr_->QueryInterface(iid, out.PutVoid());
        return out;
    }

private:
    T* ptr_ = nullptr;
};
