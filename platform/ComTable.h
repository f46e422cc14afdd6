#pragma once
// QueryInterface from a table: each row names an interface and how this object hands it out.
// The objects that use it are owned by value, so no row adds a reference.
#include <unknwn.h>

template <typename Object> struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(Object* object);
};

template <typename Object, size_t N>
HRESULT QueryInterfaceFromTable(Object* object, const InterfaceEntry<Object> (&table)[N], REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    for (const auto& entry : table) {
        if (IsEqualIID(iid, *entry.iid)) {
            *out = entry.cast(object);
            return S_OK;
        }
    }
    *out = nullptr;
    return E_NOINTERFACE;
}
