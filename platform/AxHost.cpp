#include "AxHost.h"

#include "ComPtr.h"
#include "ComTable.h"

#include <ole2.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>

namespace {

constexpr const wchar_t* kHostClass = L"AtlAxWin120";
constexpr const wchar_t* kHostLicClass = L"AtlAxWinLic120";

// The site the control talks to. Reference counted, since the control holds it; the host window
// holds one reference from WM_CREATE to WM_DESTROY.
class AxSite : public ComObject<AxSite, IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame> {
public:
    explicit AxSite(HWND host) : host_(host) {}

    HRESULT CreateControl(const CLSID& clsid)
    {
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, control_.PutVoid());
        if (FAILED(hr)) return hr;
        hr = control_->SetClientSite(static_cast<IOleClientSite*>(this));
        if (FAILED(hr)) return hr;
        if (ComPtr<IPersistStreamInit> init = control_.As<IPersistStreamInit>(IID_IPersistStreamInit)) init->InitNew();
        RECT rect;
        GetClientRect(host_, &rect);
        return control_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, host_, &rect);
    }

    void CloseControl()
    {
        if (!control_) return;
        if (ComPtr<IOleInPlaceObject> inPlace = control_.As<IOleInPlaceObject>(IID_IOleInPlaceObject))
            inPlace->InPlaceDeactivate();
        control_->Close(OLECLOSE_NOSAVE);
        control_->SetClientSite(nullptr);
        control_.Reset();
    }

    IUnknown* Control() const { return control_.Get(); }

    void Resize()
    {
        RECT rect;
        GetClientRect(host_, &rect);
        if (ComPtr<IOleInPlaceObject> inPlace = control_.As<IOleInPlaceObject>(IID_IOleInPlaceObject))
            inPlace->SetObjectRects(&rect, &rect);
    }

    bool TranslateAccelerator(MSG* message)
    {
        ComPtr<IOleInPlaceActiveObject> active = control_.As<IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject);
        return active && active->TranslateAccelerator(message) == S_OK;
    }

    // IUnknown
    HRESULT QueryOwnInterface(REFIID iid, void** out)
    {
        static const InterfaceEntry<AxSite> table[] = {
            {&IID_IUnknown, [](AxSite* s) -> IUnknown* { return static_cast<IOleClientSite*>(s); }},
            {&IID_IOleClientSite, [](AxSite* s) -> IUnknown* { return static_cast<IOleClientSite*>(s); }},
            {&IID_IOleWindow, [](AxSite* s) -> IUnknown* { return static_cast<IOleInPlaceSite*>(s); }},
            {&IID_IOleInPlaceSite, [](AxSite* s) -> IUnknown* { return static_cast<IOleInPlaceSite*>(s); }},
            {&IID_IOleInPlaceUIWindow, [](AxSite* s) -> IUnknown* { return static_cast<IOleInPlaceFrame*>(s); }},
            {&IID_IOleInPlaceFrame, [](AxSite* s) -> IUnknown* { return static_cast<IOleInPlaceFrame*>(s); }},
        };
        return QueryInterfaceFromTable(this, table, iid, out);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** container) override
    {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow, for the in-place site and the frame alike
    STDMETHODIMP GetWindow(HWND* window) override
    {
        if (!window) return E_POINTER;
        *window = host_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        AddRef();
        *frame = static_cast<IOleInPlaceFrame*>(this);
        *document = nullptr;
        GetClientRect(host_, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = GetAncestor(host_, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override
    {
        if (ComPtr<IOleInPlaceObject> inPlace = control_.As<IOleInPlaceObject>(IID_IOleInPlaceObject))
            inPlace->SetObjectRects(rect, rect);
        return S_OK;
    }

    // IOleInPlaceUIWindow and IOleInPlaceFrame: the control may not negotiate tool space or menus.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~AxSite() override = default;

    HWND host_;
    ComPtr<IOleObject> control_;
};

AxSite* SiteOf(HWND host)
{
    return reinterpret_cast<AxSite*>(GetWindowLongPtrW(host, GWLP_USERDATA));
}

LRESULT CALLBACK HostProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        const int length = GetWindowTextLengthW(host);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(host, text.data(), length + 1);
        CLSID clsid;
        if (SUCCEEDED(CLSIDFromString(text.c_str(), &clsid))) {
            auto* site = new AxSite(host);
            SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site));
            site->CreateControl(clsid); // a control that cannot be made leaves an empty host
        }
        return 0;
    }
    AxSite* site = SiteOf(host);
    if (message == AxGetHostMessage()) return reinterpret_cast<LRESULT>(static_cast<IOleClientSite*>(site));
    if (message == AxGetControlMessage()) return reinterpret_cast<LRESULT>(site ? site->Control() : nullptr);
    switch (message) {
    case WM_SIZE:
        if (site) site->Resize();
        return 0;
    case kWmForwardMsg: return site && lParam && site->TranslateAccelerator(reinterpret_cast<MSG*>(lParam)) ? 1 : 0;
    case WM_DESTROY:
        if (site) {
            SetWindowLongPtrW(host, GWLP_USERDATA, 0);
            site->CloseControl();
            site->Release();
        }
        return 0;
    default: return DefWindowProcW(host, message, wParam, lParam);
    }
}

} // namespace

UINT AxGetHostMessage()
{
    static const UINT message = RegisterWindowMessageW(L"WM_ATLGETHOST");
    return message;
}

UINT AxGetControlMessage()
{
    static const UINT message = RegisterWindowMessageW(L"WM_ATLGETCONTROL");
    return message;
}

bool RegisterAxHostClasses()
{
    AxGetHostMessage();
    AxGetControlMessage();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const wchar_t* name : {kHostClass, kHostLicClass}) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExW(instance, name, &existing)) continue;
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = name;
        if (!RegisterClassExW(&windowClass)) return false;
    }
    return true;
}

HRESULT AxGetControl(HWND host, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* control = reinterpret_cast<IUnknown*>(SendMessageW(host, AxGetControlMessage(), 0, 0));
    return control ? control->QueryInterface(iid, out) : E_FAIL;
}
