#pragma once
// An in-memory shell in place of the system's, whose property stores Wine does not offer. The
// document handler is handed FakeShell::CreateItem as its entry point; the item it opens serves
// one property store that holds what the test stored, and takes new values only on Commit, as the
// shell's own stores do.
#include "platform/PropVariant.h"

#include <windows.h>
#include <propsys.h>
#include <shobjidl.h>

#include <string>
#include <vector>

struct StoredProperty {
    PROPERTYKEY key;
    PropVariant value;
};

class FakeShell {
public:
    // The shell CreateItem serves while this object lives; one at a time.
    FakeShell();
    FakeShell(const FakeShell&) = delete;
    FakeShell& operator=(const FakeShell&) = delete;
    ~FakeShell();

    static HRESULT WINAPI CreateItem(PCWSTR path, IBindCtx* context, REFIID iid, void** item);

    void Store(const PROPERTYKEY& key, PropVariant value);
    // The stored value of a key; null when there is none.
    const PROPVARIANT* Find(const PROPERTYKEY& key) const;

    // What the store holds, in listing order.
    std::vector<StoredProperty> stored;
    // Results the fakes give instead of succeeding.
    HRESULT createItemResult = S_OK;
    HRESULT getStoreResult = S_OK;
    HRESULT setValueResult = S_OK;
    HRESULT commitResult = S_OK;
    std::vector<PROPERTYKEY> unreadable; // GetValue fails for these
    // What happened: the paths asked for, the keys set, and the commits that went through.
    std::vector<std::wstring> paths;
    std::vector<PROPERTYKEY> setKeys;
    int commits = 0;
};

bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b);
