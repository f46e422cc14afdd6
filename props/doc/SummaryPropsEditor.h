#pragma once
// The "doc" category: the OLE property sets of a file (summary information, document summary
// information and any other set the page's list names by its format identifier). Every read and
// write goes first through the shell's property store of the file and, when the system offers
// none for it, through the property sets of the file's own structured storage.
#include "props/PropertyHandler.h"
#include "platform/UniqueHandle.h"

#include <windows.h>
#include <objbase.h>
#include <propsys.h>

#include <string>
#include <vector>

class SummaryPropsEditor : public PropertyHandler {
public:
    // The shape of SHCreateItemFromParsingName, the one way into a file's property store. It is
    // looked up at run time, as a system may lack it; tests hand in a fake whose shell items serve
    // an in-memory store, since under Wine no file has a property store.
    using CreateItemFunction = HRESULT(WINAPI*)(PCWSTR path, IBindCtx* context, REFIID iid, void** item);

    // Looks the entry point up in the shell's library, which stays loaded while the handler lives.
    SummaryPropsEditor();
    // Uses the given entry point; null stands for a system without one.
    explicit SummaryPropsEditor(CreateItemFunction createItem);

    void GetProps(const std::wstring& fileName, JsonWrapper& result) override;
    bool SetProps(const std::wstring& fileName, JsonView props, std::wstring& error) override;

private:
    // One property of a "setprops" request, converted and ready to store.
    struct Write;

    // The list entry of a stored property: true, with a copy of the entry and its name, when the
    // list knows the property. For one it does not know, in a set that an entry names through
    // "fmtname", item becomes a read-only stand-in named "<fmtname>-<PID>"; else item stays
    // empty.
    bool MatchListEntry(const PROPERTYKEY& key, JsonWrapper& item, std::wstring& name) const;
    HRESULT OpenPropertyStore(const std::wstring& fileName, IPropertyStore** store) const;

    bool ReadFromPropertyStore(const std::wstring& fileName, JsonWrapper& result) const;
    void ReadFromStorage(const std::wstring& fileName, JsonWrapper& result) const;
    bool WriteToPropertyStore(const std::wstring& fileName, const std::vector<Write>& writes,
                              std::wstring& error) const;
    bool WriteToStorage(const std::wstring& fileName, const std::vector<Write>& writes, std::wstring& error) const;

    UniqueModule shell_;
    CreateItemFunction createItem_ = nullptr;
};
