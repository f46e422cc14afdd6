#pragma once
// Sole owner of one VARIANT: initialised on construction, cleared (freeing any string, array or
// interface it holds) on destruction and before it is filled again.
#include <windows.h>
#include <oleauto.h>

#include <string>

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    // A string variant holding a copy of the text; a failed allocation leaves a null string.
    static void SetText(Variant& variant, const std::wstring& text)
    {
        VARIANT* value = variant.Put();
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    // For out parameters: clears what is held and hands out the value.
    VARIANT* Put()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};
