#include "BrowserEvents.h"

#include "Bstr.h"
#include "ComPtr.h"
#include "ComTable.h"

#include <exdispid.h>
#include <ocidl.h>

namespace {

// An event argument as text; empty when it is not a string.
std::wstring TextOf(const VARIANT& argument)
{
    std::wstring text;
    VariantText(argument, text);
    return text;
}

void SetCancel(const VARIANT& argument, bool cancel)
{
    if (argument.vt == (VT_BOOL | VT_BYREF) && argument.pboolVal)
        *argument.pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

} // namespace

HRESULT BrowserEvents::Connect(IWebBrowser2* browser)
{
    Disconnect();
    if (!browser) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = browser->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.Put());
    if (FAILED(hr) || !point_) return FAILED(hr) ? hr : E_FAIL;
    hr = point_->Advise(static_cast<IDispatch*>(this), &cookie_);
    if (FAILED(hr)) {
        point_.Reset();
        cookie_ = 0;
        return hr;
    }
    topLevel_ = browser;
    return S_OK;
}

void BrowserEvents::Disconnect()
{
    if (point_ && cookie_) point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
    topLevel_ = nullptr;
}

STDMETHODIMP BrowserEvents::QueryInterface(REFIID iid, void** out)
{
    static const InterfaceEntry<BrowserEvents> table[] = {
        {&IID_IUnknown, [](BrowserEvents* e) -> IUnknown* { return e; }},
        {&IID_IDispatch, [](BrowserEvents* e) -> IUnknown* { return e; }},
        {&DIID_DWebBrowserEvents2, [](BrowserEvents* e) -> IUnknown* { return e; }},
    };
    return QueryInterfaceFromTable(this, table, iid, out);
}

STDMETHODIMP BrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    // Arguments arrive last first: rgvarg[0] is the event's final parameter.
    const auto argument = [params](UINT fromLast) -> const VARIANT* {
        return params && params->rgvarg && fromLast < params->cArgs ? &params->rgvarg[fromLast] : nullptr;
    };
    try {
        switch (id) {
        case DISPID_DOCUMENTCOMPLETE: listener_.OnDocumentComplete(); break;
        case DISPID_BEFORENAVIGATE2: // (frame, url, flags, target, post data, headers, cancel)
            if (const VARIANT* url = argument(5); url && argument(0))
                SetCancel(*argument(0), !listener_.OnBeforeNavigate(TextOf(*url)));
            break;
        case DISPID_NEWWINDOW3: // (window out, cancel, flags, context url, url)
            if (argument(3) && argument(0)) {
                SetCancel(*argument(3), true);
                listener_.OnNewWindow(TextOf(*argument(0)));
            }
            break;
        case DISPID_NAVIGATEERROR: // (frame, url, target frame, status, cancel)
            if (const VARIANT* frame = argument(4); frame && argument(3)) {
                const bool topLevel = frame->vt == VT_DISPATCH &&
                                      frame->pdispVal == static_cast<IDispatch*>(static_cast<void*>(topLevel_));
                listener_.OnNavigateError(TextOf(*argument(3)), topLevel);
            }
            break;
        default: break;
        }
    } catch (...) {
    }
    return S_OK;
}
