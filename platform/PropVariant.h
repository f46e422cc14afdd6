#pragma once
// Sole owner of one PROPVARIANT: empty on construction, cleared (freeing any string, vector or
// interface it holds) on destruction and before it is filled again.
#include <windows.h>
#include <objbase.h>
#include <propidl.h>

class PropVariant {
public:
    PropVariant() { PropVariantInit(&value_); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    // The value moves as it is; the source is left empty.
    PropVariant(PropVariant&& other) noexcept : value_(other.value_) { PropVariantInit(&other.value_); }
    PropVariant& operator=(PropVariant&& other) noexcept
    {
        if (this != &other) {
            PropVariantClear(&value_);
            value_ = other.value_;
            PropVariantInit(&other.value_);
        }
        return *this;
    }
    ~PropVariant() { PropVariantClear(&value_); }

    const PROPVARIANT& Get() const { return value_; }
    // For out parameters and for filling in place: clears what is held and hands out the value.
    PROPVARIANT* Put()
    {
        PropVariantClear(&value_);
        return &value_;
    }

private:
    PROPVARIANT value_;
};
