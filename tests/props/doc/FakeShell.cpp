#include "FakeShell.h"

#include "platform/ComTable.h"

#include <utility>

namespace {

FakeShell* current = nullptr;

class FakeStore : public ComObject<FakeStore, IPropertyStore> {
public:
    explicit FakeStore(FakeShell& shell) : shell_(shell) {}

    HRESULT QueryOwnInterface(REFIID iid, void** out)
    {
        static const InterfaceEntry<FakeStore> table[] = {
            {&IID_IUnknown, [](FakeStore* self) -> IUnknown* { return self; }},
            {&IID_IPropertyStore, [](FakeStore* self) -> IUnknown* { return self; }},
        };
        return QueryInterfaceFromTable(this, table, iid, out);
    }

    STDMETHODIMP GetCount(DWORD* count) override
    {
        *count = static_cast<DWORD>(shell_.stored.size());
        return S_OK;
    }
    STDMETHODIMP GetAt(DWORD index, PROPERTYKEY* key) override
    {
        if (index >= shell_.stored.size()) return E_INVALIDARG;
        *key = shell_.stored[index].key;
        return S_OK;
    }
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override
    {
        PropVariantInit(value);
        for (const PROPERTYKEY& failing : shell_.unreadable) {
            if (SameKey(failing, key)) return E_FAIL;
        }
        const PROPVARIANT* stored = shell_.Find(key);
        return stored ? PropVariantCopy(value, stored) : S_OK;
    }
    STDMETHODIMP SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override
    {
        shell_.setKeys.push_back(key);
        if (FAILED(shell_.setValueResult)) return shell_.setValueResult;
        PropVariant copy;
        PropVariantCopy(copy.Put(), &value);
        pending_.push_back({key, std::move(copy)});
        return S_OK;
    }
    STDMETHODIMP Commit() override
    {
        if (FAILED(shell_.commitResult)) return shell_.commitResult;
        for (StoredProperty& property : pending_)
            shell_.Store(property.key, std::move(property.value));
        pending_.clear();
        ++shell_.commits;
        return S_OK;
    }

private:
    FakeShell& shell_;
    std::vector<StoredProperty> pending_;
};

class FakeItem : public ComObject<FakeItem, IShellItem2> {
public:
    explicit FakeItem(FakeShell& shell) : shell_(shell) {}

    HRESULT QueryOwnInterface(REFIID iid, void** out)
    {
        static const InterfaceEntry<FakeItem> table[] = {
            {&IID_IUnknown, [](FakeItem* self) -> IUnknown* { return self; }},
            {&IID_IShellItem, [](FakeItem* self) -> IUnknown* { return self; }},
            {&IID_IShellItem2, [](FakeItem* self) -> IUnknown* { return self; }},
        };
        return QueryInterfaceFromTable(this, table, iid, out);
    }

    STDMETHODIMP GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (FAILED(shell_.getStoreResult)) return shell_.getStoreResult;
        if (flags != GPS_READWRITE) return E_INVALIDARG;
        FakeStore* store = new FakeStore(shell_);
        const HRESULT hr = store->QueryInterface(iid, out);
        store->Release();
        return hr;
    }

    // The rest of the shell item is not used.
    STDMETHODIMP BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetParent(IShellItem**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDisplayName(SIGDN, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }
    STDMETHODIMP GetPropertyStoreWithCreateObject(GETPROPERTYSTOREFLAGS, IUnknown*, REFIID, void**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetPropertyStoreForKeys(const PROPERTYKEY*, UINT, GETPROPERTYSTOREFLAGS, REFIID, void**) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP Update(IBindCtx*) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperty(REFPROPERTYKEY, PROPVARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCLSID(REFPROPERTYKEY, CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFileTime(REFPROPERTYKEY, FILETIME*) override { return E_NOTIMPL; }
    STDMETHODIMP GetInt32(REFPROPERTYKEY, int*) override { return E_NOTIMPL; }
    STDMETHODIMP GetString(REFPROPERTYKEY, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUInt32(REFPROPERTYKEY, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUInt64(REFPROPERTYKEY, ULONGLONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetBool(REFPROPERTYKEY, WINBOOL*) override { return E_NOTIMPL; }

private:
    FakeShell& shell_;
};

} // namespace

bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b)
{
    return IsEqualGUID(a.fmtid, b.fmtid) && a.pid == b.pid;
}

FakeShell::FakeShell()
{
    current = this;
}

FakeShell::~FakeShell()
{
    current = nullptr;
}

HRESULT WINAPI FakeShell::CreateItem(PCWSTR path, IBindCtx*, REFIID iid, void** item)
{
    *item = nullptr;
    if (!current) return E_UNEXPECTED;
    current->paths.push_back(path);
    if (FAILED(current->createItemResult)) return current->createItemResult;
    FakeItem* created = new FakeItem(*current);
    const HRESULT hr = created->QueryInterface(iid, item);
    created->Release();
    return hr;
}

void FakeShell::Store(const PROPERTYKEY& key, PropVariant value)
{
    for (StoredProperty& property : stored) {
        if (SameKey(property.key, key)) {
            property.value = std::move(value);
            return;
        }
    }
    stored.push_back({key, std::move(value)});
}

const PROPVARIANT* FakeShell::Find(const PROPERTYKEY& key) const
{
    for (const StoredProperty& property : stored) {
        if (SameKey(property.key, key)) return &property.value.Get();
    }
    return nullptr;
}
