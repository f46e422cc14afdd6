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

// A reference-counted COM object made on the heap. The derived class lists its interfaces in
// QueryOwnInterface (a table for QueryInterfaceFromTable); this base adds the reference that
// QueryInterface hands out and deletes the object when the last reference is released.
template <typename Derived, typename... Interfaces> class ComObject : public Interfaces... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        const HRESULT hr = static_cast<Derived*>(this)->QueryOwnInterface(iid, out);
        if (SUCCEEDED(hr)) AddRef();
        return hr;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = InterlockedDecrement(&references_);
        if (count == 0) delete this;
        return count;
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    LONG references_ = 1;
};
