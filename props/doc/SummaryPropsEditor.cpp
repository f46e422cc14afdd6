// Two ways to one set of properties. The shell's property store covers every file type that has a
// property handler; the structured storage of the file covers compound files (and whatever the
// system keeps property sets for). Reading through the store lists every stored property, named
// from the page's list where it knows them; reading through the storage asks only for what the
// list names.
//
// A write is converted whole before either way is tried, so that a text that is not a value of its
// type refuses the request before anything is touched. Through the storage it is all or nothing:
// the root storage is transacted, and only commits when every property was written.
#include "SummaryPropsEditor.h"

#include "PropVariantText.h"
#include "VariantTypeNames.h"
#include "platform/ComPtr.h"
#include "platform/FileSave.h"
#include "platform/PropVariant.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <utility>

using namespace docprops;

struct SummaryPropsEditor::Write {
    FMTID fmtid;
    PROPID pid;
    PropVariant value;
};

namespace {

std::wstring Message(const wchar_t* format, HRESULT hr)
{
    wchar_t buffer[96];
    std::swprintf(buffer, 96, format, static_cast<unsigned>(hr));
    return buffer;
}

std::wstring StoreFailure(HRESULT hr)
{
    return Message(L"set doc property failed, hr=0x%08X", hr);
}

std::wstring StorageFailure(HRESULT hr)
{
    return Message(L"set file summary property failed, hr=0x%08X", hr);
}

// A PID as the list writes it: decimal, and negative above 2147483647.
std::wstring PidText(PROPID pid)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%d", static_cast<int>(pid));
    return buffer;
}

// The braced upper-case form, 38 characters.
std::wstring FmtidText(const FMTID& fmtid)
{
    wchar_t buffer[64];
    return StringFromGUID2(fmtid, buffer, 64) > 0 ? buffer : L"";
}

HRESULT ParseFmtid(const std::wstring& text, FMTID& fmtid)
{
    return CLSIDFromString(text.c_str(), &fmtid);
}

PROPID PidOf(JsonView entry)
{
    return static_cast<PROPID>(StrToIntW(MemberText(entry, L"id").c_str()));
}

bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The property sets of a file through its structured storage, each set opened once however many
// properties it serves.
//
// Wine hands out a property-set storage that fails every Open and Create with E_INVALIDARG when
// asked for one directly, so the root storage is asked for first and queried for its sets; the
// direct request remains for files the root storage cannot open. For writing, the root is
// transacted: what the sets write reaches the file only through Commit, in one step.
class PropertySetFile {
public:
    HRESULT Open(const std::wstring& fileName, bool writing)
    {
        writing_ = writing;
        const DWORD mode = writing ? STGM_READWRITE | STGM_SHARE_EXCLUSIVE : STGM_READ | STGM_SHARE_DENY_WRITE;
        const DWORD rootMode = writing ? mode | STGM_TRANSACTED : mode;
        HRESULT hr = StgOpenStorageEx(fileName.c_str(), rootMode, STGFMT_ANY, 0, nullptr, nullptr, IID_IStorage,
                                      root_.PutVoid());
        if (hr == S_OK) {
            sets_ = root_.As<IPropertySetStorage>(IID_IPropertySetStorage);
            if (sets_) return S_OK;
            root_.Reset();
        }
        return StgOpenStorageEx(fileName.c_str(), mode, STGFMT_ANY, 0, nullptr, nullptr, IID_IPropertySetStorage,
                                sets_.PutVoid());
    }

    // The set of a format identifier; null, with the failing status, when it cannot be had. For
    // writing, a set the file lacks is created; one that exists but cannot be opened is left
    // alone, since creating replaces whatever was there.
    IPropertyStorage* Set(const FMTID& fmtid, HRESULT& status)
    {
        for (const OpenSet& open : opened_) {
            if (IsEqualGUID(open.fmtid, fmtid)) {
                status = open.status;
                return open.set.Get();
            }
        }
        OpenSet open{fmtid, S_OK, {}};
        const DWORD mode = (writing_ ? STGM_READWRITE : STGM_READ) | STGM_SHARE_EXCLUSIVE;
        open.status = sets_->Open(fmtid, mode, open.set.Put());
        if (writing_ && open.status == STG_E_FILENOTFOUND) {
            open.status = sets_->Create(fmtid, nullptr, PROPSETFLAG_DEFAULT,
                                        STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, open.set.Put());
        }
        if (open.status != S_OK) open.set.Reset();
        status = open.status;
        opened_.push_back(std::move(open));
        return opened_.back().set.Get();
    }

    // Commits every set, then the root; the first failing status, or S_OK.
    HRESULT Commit()
    {
        for (const OpenSet& open : opened_) {
            if (!open.set) continue;
            const HRESULT hr = open.set->Commit(STGC_DEFAULT);
            if (FAILED(hr)) return hr;
        }
        opened_.clear();
        return root_ ? root_->Commit(STGC_DEFAULT) : S_OK;
    }

private:
    struct OpenSet {
        FMTID fmtid;
        HRESULT status;
        ComPtr<IPropertyStorage> set;
    };

    bool writing_ = false;
    // Released in reverse: the sets before the storage they came from.
    ComPtr<IStorage> root_;
    ComPtr<IPropertySetStorage> sets_;
    std::vector<OpenSet> opened_;
};

// The shell parses names of its own form: a \\?\ path goes to it without the prefix where the
// plain form names the same file (no part ends in a dot or space, and it is short enough).
std::wstring ShellParsingName(const std::wstring& path)
{
    if (path.compare(0, 4, L"\\\\?\\") != 0) return path;
    std::wstring plain = path.compare(4, 4, L"UNC\\") == 0 ? L"\\\\" + path.substr(8) : path.substr(4);
    if (plain.size() >= MAX_PATH) return path;
    for (size_t i = 0; i < plain.size(); ++i) {
        const bool partEnds = i + 1 == plain.size() || plain[i + 1] == L'\\';
        if (partEnds && (plain[i] == L'.' || plain[i] == L' ')) return path;
    }
    return plain;
}

// The entries of the page's list; none when the list is not an object.
std::vector<JsonView> ListEntries(const JsonWrapper& list)
{
    std::vector<JsonView> entries;
    if (!list.View().IsObject()) return entries;
    for (const JsonView entry : list.View())
        entries.push_back(entry);
    return entries;
}

// The members of a request converted to the values to store. False, with the reason, when one of
// them cannot be: nothing is written then.
template <typename Write> bool PrepareWrites(JsonView request, std::vector<Write>& writes, std::wstring& error)
{
    if (!request.IsObject()) return true;
    for (const JsonView member : request) {
        const std::wstring name = member.Name();
        const std::wstring fmtidText = MemberText(member, L"fmtid");
        Write write{};
        if (FAILED(ParseFmtid(fmtidText, write.fmtid))) {
            error = L"invalid property set identifier for " + name + L": " + fmtidText;
            return false;
        }
        write.pid = PidOf(member);
        const VARTYPE type = TypeFromName(MemberText(member, L"type"));
        const std::wstring data = MemberText(member, L"data");
        switch (TextToVariant(name, type, data, write.value)) {
        case TextConversion::Converted: writes.push_back(std::move(write)); break;
        case TextConversion::NoTextForm: break;
        case TextConversion::NotAValue:
            error = L"invalid " + ExpectedTextOf(name, type) + L" for " + name + L": " + data;
            return false;
        }
    }
    return true;
}

} // namespace

SummaryPropsEditor::SummaryPropsEditor() : shell_(LoadLibraryW(L"Shell32.dll"))
{
    if (shell_.IsValid()) {
        createItem_ = reinterpret_cast<CreateItemFunction>(
            reinterpret_cast<void*>(GetProcAddress(shell_.Get(), "SHCreateItemFromParsingName")));
    }
}

SummaryPropsEditor::SummaryPropsEditor(CreateItemFunction createItem) : createItem_(createItem) {}

void SummaryPropsEditor::GetProps(const std::wstring& fileName, JsonWrapper& result)
{
    if (ReadFromPropertyStore(fileName, result)) return;
    ReadFromStorage(fileName, result);
}

bool SummaryPropsEditor::SetProps(const std::wstring& fileName, JsonView props, std::wstring& error)
{
    std::vector<Write> writes;
    if (!PrepareWrites(props, writes, error)) return false;
    if (WriteToPropertyStore(fileName, writes, error)) return true;
    return WriteToStorage(fileName, writes, error);
}

bool SummaryPropsEditor::MatchListEntry(const PROPERTYKEY& key, JsonWrapper& item, std::wstring& name) const
{
    const std::wstring pid = PidText(key.pid);
    const std::wstring fmtid = FmtidText(key.fmtid);
    // The name of a property the list does not know comes from the last entry of its set that
    // carries a set name.
    std::wstring setName;
    for (const JsonView entry : ListEntries(propList_)) {
        if (!SameIgnoringAsciiCase(MemberText(entry, L"fmtid"), fmtid)) continue;
        if (!entry.Member(L"fmtname").IsEmpty()) setName = MemberText(entry, L"fmtname");
        if (MemberText(entry, L"id") == pid) {
            item = entry.Copy();
            name = entry.Name();
            return true;
        }
    }
    if (setName.empty()) return false;
    item.MakeObject();
    item.AddString(L"id", pid);
    item.AddString(L"fmtid", fmtid);
    item.AddBool(L"readonly", true);
    name = setName + L"-" + pid;
    return false;
}

HRESULT SummaryPropsEditor::OpenPropertyStore(const std::wstring& fileName, IPropertyStore** store) const
{
    ComPtr<IShellItem2> item;
    const HRESULT hr = createItem_(ShellParsingName(fileName).c_str(), nullptr, IID_IShellItem2, item.PutVoid());
    if (FAILED(hr)) return hr;
    if (!item) return E_NOINTERFACE;
    // Read-write for reading too, so that a file whose store cannot be written is read through
    // its storage, where it can.
    return item->GetPropertyStore(GPS_READWRITE, IID_IPropertyStore, reinterpret_cast<void**>(store));
}

bool SummaryPropsEditor::ReadFromPropertyStore(const std::wstring& fileName, JsonWrapper& result) const
{
    if (!createItem_) return false;
    ComPtr<IPropertyStore> store;
    if (FAILED(OpenPropertyStore(fileName, store.Put())) || !store) return false;

    result.MakeObject();
    DWORD count = 0;
    if (FAILED(store->GetCount(&count))) return true;
    for (DWORD index = 0; index < count; ++index) {
        PROPERTYKEY key;
        if (FAILED(store->GetAt(index, &key))) continue;
        JsonWrapper item;
        std::wstring name;
        const bool known = MatchListEntry(key, item, name);
        // A property of a set the list does not name is left out.
        if (item.IsEmpty()) continue;
        PropVariant value;
        if (FAILED(store->GetValue(key, value.Put()))) continue;
        const auto text = VariantToText(value.Get(), key);
        if (!text) continue;
        item.AddString(L"data", *text);
        if (!known) item.AddString(L"type", TypeNameOf(value.Get().vt));
        result.AddDocument(name, item);
    }
    return true;
}

void SummaryPropsEditor::ReadFromStorage(const std::wstring& fileName, JsonWrapper& result) const
{
    PropertySetFile file;
    if (file.Open(fileName, false) != S_OK) return;
    result.MakeObject();
    for (const JsonView entry : ListEntries(propList_)) {
        FMTID fmtid;
        if (FAILED(ParseFmtid(MemberText(entry, L"fmtid"), fmtid))) continue;
        HRESULT status;
        IPropertyStorage* set = file.Set(fmtid, status);
        if (!set) continue;
        PROPSPEC spec{};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = PidOf(entry);
        PropVariant value;
        // S_FALSE: the set does not hold the property.
        if (set->ReadMultiple(1, &spec, value.Put()) != S_OK) continue;
        const auto text = VariantToText(value.Get(), PROPERTYKEY{fmtid, spec.propid});
        if (!text) continue;
        JsonWrapper item = entry.Copy();
        item.AddString(L"data", *text);
        result.AddDocument(entry.Name(), item);
    }
}

bool SummaryPropsEditor::WriteToPropertyStore(const std::wstring& fileName, const std::vector<Write>& writes,
                                              std::wstring& error) const
{
    if (!createItem_) return false;
    ComPtr<IPropertyStore> store;
    HRESULT hr = OpenPropertyStore(fileName, store.Put());
    if (SUCCEEDED(hr) && !store) hr = E_NOINTERFACE;
    if (FAILED(hr)) {
        error = StoreFailure(hr);
        return false;
    }
    // A value the store refuses ends the write before Commit, so that the store keeps nothing of
    // it and the storage way gets the whole request.
    for (const Write& write : writes) {
        hr = store->SetValue(PROPERTYKEY{write.fmtid, write.pid}, write.value.Get());
        if (FAILED(hr)) {
            error = StoreFailure(hr);
            return false;
        }
    }
    hr = store->Commit();
    if (FAILED(hr)) {
        error = StoreFailure(hr);
        return false;
    }
    return true;
}

bool SummaryPropsEditor::WriteToStorage(const std::wstring& fileName, const std::vector<Write>& writes,
                                        std::wstring& error) const
{
    // A file without property sets is refused before anything is copied.
    {
        PropertySetFile probe;
        const HRESULT hr = probe.Open(fileName, false);
        if (hr != S_OK) {
            if (FAILED(hr)) error = StorageFailure(hr);
            return false;
        }
    }
    if (writes.empty()) return true;

    // The sets are written into a copy beside the file, which replaces it only once it reads back
    // as written: a full disk, or storage code that gives up half way, leaves the original whole.
    FileSave save(fileName);
    // Room for the sets to grow by a few sectors of the compound file.
    if (!save.Begin(FileSave::Start::CopyOfOriginal, 256 * 1024)) {
        error = save.Error();
        return false;
    }
    save.CloseScratch();
    std::vector<PROPVARIANT> stored;
    {
        PropertySetFile file;
        HRESULT hr = file.Open(save.ScratchPath(), true);
        if (hr != S_OK) {
            error = StorageFailure(FAILED(hr) ? hr : E_FAIL);
            return false;
        }
        for (const Write& write : writes) {
            IPropertyStorage* set = file.Set(write.fmtid, hr);
            // The summary set keeps the editing time as a FILETIME (the shell's store takes it as a
            // number and converts it itself); both hold the same 100-nanosecond count.
            PROPVARIANT value = write.value.Get();
            if (value.vt == VT_UI8 && write.pid == kEditTimeId && IsEqualGUID(write.fmtid, kSummaryInformation))
                value.vt = VT_FILETIME;
            stored.push_back(value);
            if (set) {
                PROPSPEC spec{};
                spec.ulKind = PRSPEC_PROPID;
                spec.propid = write.pid;
                hr = set->WriteMultiple(1, &spec, &value, PID_FIRST_USABLE);
            }
            // Nothing is committed: the copy is dropped and the file stays as it was.
            if (hr != S_OK) {
                error = StorageFailure(hr);
                return false;
            }
        }
        hr = file.Commit();
        if (FAILED(hr)) {
            error = StorageFailure(hr);
            return false;
        }
    }
    const auto verify = [&](const std::wstring& scratch, std::wstring& why) {
        PropertySetFile file;
        if (file.Open(scratch, false) != S_OK) {
            why = L"its property sets cannot be opened";
            return false;
        }
        for (size_t i = 0; i < writes.size(); ++i) {
            const PROPERTYKEY key{writes[i].fmtid, writes[i].pid};
            HRESULT status;
            IPropertyStorage* set = file.Set(key.fmtid, status);
            PROPSPEC spec{};
            spec.ulKind = PRSPEC_PROPID;
            spec.propid = key.pid;
            PropVariant value;
            if (!set || set->ReadMultiple(1, &spec, value.Put()) != S_OK || value.Get().vt != stored[i].vt ||
                VariantToText(value.Get(), key) != VariantToText(stored[i], key)) {
                why = L"property " + PidText(key.pid) + L" of " + FmtidText(key.fmtid) + L" differs";
                return false;
            }
        }
        return true;
    };
    if (!save.Finish(verify)) {
        error = save.Error();
        return false;
    }
    return true;
}
