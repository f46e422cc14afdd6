#pragma once
// Sole owners of kernel objects: one template, a closing rule per kind of handle. Each owner
// closes its handle exactly once and can be moved but not copied.
#include <windows.h>
#include <shellapi.h>

#include <utility>

template <typename Traits> class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) Reset(std::exchange(other.handle_, Traits::Invalid()));
        return *this;
    }
    ~UniqueResource() { Reset(); }

    bool IsValid() const { return Traits::IsValid(handle_); }
    Handle Get() const { return handle_; }
    void Reset(Handle handle = Traits::Invalid())
    {
        if (IsValid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

// Files and other kernel objects; both null and INVALID_HANDLE_VALUE mean none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// Searches of FindFirstFileW.
struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

// Module handles of LoadLibraryW.
struct ModuleHandleTraits {
    using Handle = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE handle) { return handle != nullptr; }
    static void Close(HMODULE handle) { FreeLibrary(handle); }
};
using UniqueModule = UniqueResource<ModuleHandleTraits>;

// Icons of LoadImageW without LR_SHARED.
struct IconHandleTraits {
    using Handle = HICON;
    static HICON Invalid() { return nullptr; }
    static bool IsValid(HICON handle) { return handle != nullptr; }
    static void Close(HICON handle) { DestroyIcon(handle); }
};
using UniqueIcon = UniqueResource<IconHandleTraits>;

// The dropped-files handle of WM_DROPFILES, which the receiver must finish.
struct DropHandleTraits {
    using Handle = HDROP;
    static HDROP Invalid() { return nullptr; }
    static bool IsValid(HDROP handle) { return handle != nullptr; }
    static void Close(HDROP handle) { DragFinish(handle); }
};
using UniqueDrop = UniqueResource<DropHandleTraits>;
