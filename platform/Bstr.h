#pragma once
// One owner for a COM string, and the text of COM strings and of string arguments.
#include <oleauto.h>

#include <string>

// A BSTR's text, embedded nulls included; a null BSTR is the empty text.
inline std::wstring BstrText(BSTR string)
{
    return std::wstring(string ? string : L"", SysStringLen(string));
}

// The text of a string argument: a BSTR, a BSTR by reference, or either behind a VARIANT
// reference. False, with the text untouched, for any other kind.
inline bool VariantText(const VARIANT& argument, std::wstring& text)
{
    const VARIANT* value = &argument;
    if (value->vt == (VT_VARIANT | VT_BYREF) && value->pvarVal) value = value->pvarVal;
    if (value->vt == VT_BSTR) {
        text = BstrText(value->bstrVal);
        return true;
    }
    if (value->vt == (VT_BSTR | VT_BYREF) && value->pbstrVal) {
        text = BstrText(*value->pbstrVal);
        return true;
    }
    return false;
}

// Sole owner of one BSTR. A failed allocation leaves it null, which COM reads as empty text.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : string_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : string_(other.string_) { other.string_ = nullptr; }
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) {
            SysFreeString(string_);
            string_ = other.string_;
            other.string_ = nullptr;
        }
        return *this;
    }
    // Takes over a string that the caller allocated and would otherwise have to free.
    static Bstr Adopt(BSTR string)
    {
        Bstr owner;
        owner.string_ = string;
        return owner;
    }
    ~Bstr() { SysFreeString(string_); }

    BSTR Get() const { return string_; }
    // For out parameters: frees what is held and hands out the slot.
    BSTR* Put()
    {
        SysFreeString(string_);
        string_ = nullptr;
        return &string_;
    }
    std::wstring Text() const { return BstrText(string_); }

private:
    BSTR string_ = nullptr;
};
