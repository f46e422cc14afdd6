#pragma once
// A path made full against the current folder by the system's rules, which drop a trailing dot or
// space of the last part (give it folders; SystemPath names files as given); empty text when it
// cannot be made.
#include <windows.h>

#include <string>

inline std::wstring FullPathName(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return {};
    full.resize(written);
    return full;
}
