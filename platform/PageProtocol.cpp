#include "PageProtocol.h"

#include "ComPtr.h"
#include "ComTable.h"
#include "PageAddress.h"

#include <algorithm>
#include <cstring>

namespace {

// Our own class identifier for the registration; nothing is written to the registry.
constexpr CLSID kPageProtocolClsid = {0x6f1f8a52, 0x3b1e, 0x4c8e, {0x9a, 0x61, 0x2d, 0x4b, 0x7e, 0x10, 0x5c, 0x33}};

class PageProtocol : public ComObject<PageProtocol, IInternetProtocol> {
public:
    explicit PageProtocol(PageFileReader reader) : reader_(reader ? reader : ReadPageResource) {}

    HRESULT QueryOwnInterface(REFIID iid, void** out)
    {
        static const InterfaceEntry<PageProtocol> table[] = {
            {&IID_IUnknown, [](PageProtocol* p) -> IUnknown* { return p; }},
            {&IID_IInternetProtocolRoot, [](PageProtocol* p) -> IUnknown* { return p; }},
            {&IID_IInternetProtocol, [](PageProtocol* p) -> IUnknown* { return p; }},
        };
        return QueryInterfaceFromTable(this, table, iid, out);
    }

    STDMETHODIMP Start(LPCWSTR url, IInternetProtocolSink* sink, IInternetBindInfo*, DWORD, HANDLE_PTR) override
    {
        if (!url || !sink) return E_INVALIDARG;
        const auto name = PageFileForUrl(url);
        if (!name) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
        // A failed Start reports its status by its result alone.
        if (!reader_(*name, bytes_)) return INET_E_RESOURCE_NOT_FOUND;
        position_ = 0;
        const ULONG size = static_cast<ULONG>(bytes_.size());
        sink->ReportProgress(BINDSTATUS_VERIFIEDMIMETYPEAVAILABLE, MimeTypeFor(*name));
        sink->ReportData(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION | BSCF_DATAFULLYAVAILABLE, size, size);
        sink->ReportResult(S_OK, 200, nullptr);
        return S_OK;
    }
    STDMETHODIMP Continue(PROTOCOLDATA*) override { return S_OK; }
    STDMETHODIMP Abort(HRESULT, DWORD) override { return S_OK; }
    STDMETHODIMP Terminate(DWORD) override { return S_OK; }
    STDMETHODIMP Suspend() override { return E_NOTIMPL; }
    STDMETHODIMP Resume() override { return E_NOTIMPL; }

    STDMETHODIMP Read(void* buffer, ULONG size, ULONG* read) override
    {
        if (!buffer && size > 0) return E_POINTER;
        const size_t count = std::min<size_t>(size, bytes_.size() - position_);
        if (count > 0) std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        if (read) *read = static_cast<ULONG>(count);
        return position_ < bytes_.size() ? S_OK : S_FALSE;
    }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP LockRequest(DWORD) override { return S_OK; }
    STDMETHODIMP UnlockRequest() override { return S_OK; }

private:
    ~PageProtocol() override = default;

    PageFileReader reader_;
    std::string bytes_;
    size_t position_ = 0;
};

class PageProtocolFactory : public ComObject<PageProtocolFactory, IClassFactory> {
public:
    explicit PageProtocolFactory(PageFileReader reader) : reader_(reader) {}

    HRESULT QueryOwnInterface(REFIID iid, void** out)
    {
        static const InterfaceEntry<PageProtocolFactory> table[] = {
            {&IID_IUnknown, [](PageProtocolFactory* f) -> IUnknown* { return f; }},
            {&IID_IClassFactory, [](PageProtocolFactory* f) -> IUnknown* { return f; }},
        };
        return QueryInterfaceFromTable(this, table, iid, out);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<PageProtocol> protocol;
        protocol.Reset(new PageProtocol(reader_));
        return protocol->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    ~PageProtocolFactory() override = default;

    PageFileReader reader_;
};

} // namespace

bool ReadPageResource(const std::wstring& name, std::string& bytes)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, PageResourceName(name).c_str(), RT_RCDATA);
    if (!resource) return false;
    const HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), SizeofResource(module, resource));
    return true;
}

HRESULT CreatePageProtocol(PageFileReader reader, IInternetProtocol** protocol)
{
    if (!protocol) return E_POINTER;
    *protocol = new PageProtocol(reader);
    return S_OK;
}

PageProtocolRegistration::PageProtocolRegistration(PageFileReader reader)
{
    hr_ = CoInternetGetSession(0, session_.Put(), 0);
    if (FAILED(hr_) || !session_) return;
    factory_.Reset(new PageProtocolFactory(reader));
    hr_ = session_->RegisterNameSpace(factory_.Get(), kPageProtocolClsid, L"http", 0, nullptr, 0);
}

PageProtocolRegistration::~PageProtocolRegistration()
{
    if (session_ && factory_ && SUCCEEDED(hr_)) session_->UnregisterNameSpace(factory_.Get(), L"http");
}
