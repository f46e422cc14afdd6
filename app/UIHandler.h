#pragma once
// The one object through which the browser control and the page reach the native side: the
// control's host UI handler and, as window.external, the script-callable JsonCommand method.
// It is owned by value by the main window, so it is not reference counted. It holds no command
// logic: every request goes to the command engine.
#include "engine/CommandEngine.h"

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <functional>
#include <string>

class UIHandler : public IDocHostUIHandler, public IDispatch {
public:
    static constexpr DISPID kJsonCommandId = 9001;

    UIHandler() = default;
    UIHandler(const UIHandler&) = delete;
    UIHandler& operator=(const UIHandler&) = delete;
    virtual ~UIHandler() = default;

    // Becomes the UI handler of the browser's current document; remembers the window whose size
    // the window commands read and set.
    bool AttachToBrowser(IWebBrowser2* browser, HWND window);
    bool IsAttached() const { return attached_; }

    // Decides, each time a document asks for window.external, whether that document may have it.
    // Without a gate every document may (the console program has no documents).
    void SetExternalGate(std::function<bool()> gate) { externalGate_ = std::move(gate); }
    CommandEngine& Engine() { return engine_; }

    // Runs one request text. False when the text is not JSON: the caller then gives no answer.
    // Failures deep inside a command arrive as exceptions.
    bool RunRequest(const std::wstring& request, std::wstring& answer) { return engine_.RunRequest(request, answer); }

    // IUnknown, for both bases.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IDocHostUIHandler: no context menu, no border or scroll bars, the control's own keys.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override
    {
        return S_FALSE;
    }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_FALSE; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_FALSE; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_FALSE; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExternal(IDispatch** dispatch) override;
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return S_FALSE; }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return S_FALSE; }

    // IDispatch: one method, JsonCommand.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override;

private:
    CommandEngine engine_;
    bool attached_ = false;
    std::function<bool()> externalGate_;
};
