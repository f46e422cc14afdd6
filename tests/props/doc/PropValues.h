#pragma once
// Stored values made in memory for the document handler's tests, each in a PropVariant that frees
// what it holds, as a value read from a file would.
#include "platform/PropVariant.h"

#include <cstring>
#include <string>
#include <vector>

// A value of the given type, its contents filled in by `fill`.
template <typename Fill> PropVariant MakeValue(VARTYPE type, Fill fill)
{
    PropVariant value;
    PROPVARIANT& out = *value.Put();
    out.vt = type;
    fill(out);
    return value;
}

inline wchar_t* TaskWide(const std::wstring& text)
{
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return copy;
}

inline char* TaskAnsi(const std::string& text)
{
    auto* copy = static_cast<char*>(CoTaskMemAlloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

inline PropVariant WideValue(const std::wstring& text)
{
    return MakeValue(VT_LPWSTR, [&](PROPVARIANT& v) { v.pwszVal = TaskWide(text); });
}

inline PropVariant AnsiValue(const std::string& text)
{
    return MakeValue(VT_LPSTR, [&](PROPVARIANT& v) { v.pszVal = TaskAnsi(text); });
}

inline PropVariant WideVector(const std::vector<std::wstring>& texts)
{
    return MakeValue(VT_VECTOR | VT_LPWSTR, [&](PROPVARIANT& v) {
        v.calpwstr.cElems = static_cast<ULONG>(texts.size());
        v.calpwstr.pElems = static_cast<LPWSTR*>(CoTaskMemAlloc(texts.size() * sizeof(LPWSTR)));
        for (size_t i = 0; i < texts.size(); ++i)
            v.calpwstr.pElems[i] = TaskWide(texts[i]);
    });
}

inline PropVariant AnsiVector(const std::vector<std::string>& texts)
{
    return MakeValue(VT_VECTOR | VT_LPSTR, [&](PROPVARIANT& v) {
        v.calpstr.cElems = static_cast<ULONG>(texts.size());
        v.calpstr.pElems = static_cast<LPSTR*>(CoTaskMemAlloc(texts.size() * sizeof(LPSTR)));
        for (size_t i = 0; i < texts.size(); ++i)
            v.calpstr.pElems[i] = TaskAnsi(texts[i]);
    });
}

inline FILETIME FileTimeOf(unsigned long long ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// 100-nanosecond units since 1601 of a time given in seconds since 1970 (UTC).
inline unsigned long long TicksOfUnixTime(long long seconds)
{
    return static_cast<unsigned long long>(seconds + 11644473600LL) * 10000000ULL;
}

inline PropVariant TimeValue(unsigned long long ticks)
{
    return MakeValue(VT_FILETIME, [&](PROPVARIANT& v) { v.filetime = FileTimeOf(ticks); });
}
