#pragma once
// Receives the browser control's DWebBrowserEvents2 events and hands the few the window needs to
// its listener. Owned by value by the window, so it is not reference counted; it stays connected
// only between Connect and Disconnect.
#include "ComPtr.h"

#include <windows.h>
#include <exdisp.h>

#include <string>

class BrowserEventListener {
public:
    virtual void OnDocumentComplete() = 0;
    // Returns false to cancel the navigation (of the page or of any of its frames).
    virtual bool OnBeforeNavigate(const std::wstring& url) = 0;
    // A new window wanting to open: always cancelled; the listener decides what else to do.
    virtual void OnNewWindow(const std::wstring& url) = 0;
    virtual void OnNavigateError(const std::wstring& url, bool topLevel) = 0;

protected:
    ~BrowserEventListener() = default;
};

class BrowserEvents : public IDispatch {
public:
    explicit BrowserEvents(BrowserEventListener& listener) : listener_(listener) {}
    BrowserEvents(const BrowserEvents&) = delete;
    BrowserEvents& operator=(const BrowserEvents&) = delete;
    virtual ~BrowserEvents() { Disconnect(); }

    HRESULT Connect(IWebBrowser2* browser);
    void Disconnect();
    bool IsConnected() const { return cookie_ != 0; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    BrowserEventListener& listener_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
    IWebBrowser2* topLevel_ = nullptr; // not owned; compared only
};
