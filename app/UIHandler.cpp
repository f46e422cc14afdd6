#include "UIHandler.h"

#include "platform/Bstr.h"
#include "platform/ComPtr.h"
#include "platform/ComTable.h"

namespace {

// Not in mingw-w64's uuid library.
constexpr IID kIID_ICustomDoc = {0x3050F3F0, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

} // namespace

bool UIHandler::AttachToBrowser(IWebBrowser2* browser, HWND window)
{
    engine_.SetWindow(window);
    if (!browser) return attached_;
    ComPtr<IDispatch> document;
    if (FAILED(browser->get_Document(document.Put())) || !document) return attached_;
    ComPtr<ICustomDoc> custom = document.As<ICustomDoc>(kIID_ICustomDoc);
    if (custom && SUCCEEDED(custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this)))) attached_ = true;
    return attached_;
}

STDMETHODIMP UIHandler::QueryInterface(REFIID iid, void** out)
{
    static const InterfaceEntry<UIHandler> table[] = {
        {&IID_IUnknown, [](UIHandler* h) -> IUnknown* { return static_cast<IDocHostUIHandler*>(h); }},
        {&IID_IDocHostUIHandler, [](UIHandler* h) -> IUnknown* { return static_cast<IDocHostUIHandler*>(h); }},
        {&IID_IDispatch, [](UIHandler* h) -> IUnknown* { return static_cast<IDispatch*>(h); }},
    };
    return QueryInterfaceFromTable(this, table, iid, out);
}

STDMETHODIMP UIHandler::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info) return E_POINTER;
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_ENABLE_FORMS_AUTOCOMPLETE |
                    DOCHOSTUIFLAG_THEME | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP UIHandler::GetExternal(IDispatch** dispatch)
{
    if (!dispatch) return E_POINTER;
    // The external object reads and writes the user's files: only our own page may hold it.
    if (externalGate_ && !externalGate_()) {
        *dispatch = nullptr;
        return S_FALSE;
    }
    *dispatch = static_cast<IDispatch*>(this);
    return S_OK;
}

STDMETHODIMP UIHandler::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP UIHandler::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids)
{
    if (!names || !ids) return E_POINTER;
    if (names[0] && _wcsicmp(names[0], L"JsonCommand") == 0) {
        ids[0] = kJsonCommandId;
        return S_OK;
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP UIHandler::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (id != kJsonCommandId) return E_INVALIDARG;
    if (!params || params->cArgs != 1 || !params->rgvarg) return E_FAIL;
    // No exception may leave a COM method: a command that fails deep inside gives no answer.
    try {
        std::wstring request, answer;
        if (!VariantText(params->rgvarg[0], request)) return S_OK;
        if (!RunRequest(request, answer)) return S_OK;
        if (result) {
            VariantClear(result);
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
        }
    } catch (...) {
    }
    return S_OK;
}
