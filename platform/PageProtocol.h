#pragma once
// Serves the page's files from the program's resources to the browser control, in process: an
// http protocol handler registered for the page's host only. Addresses of any other host go to
// the system's own handler.
#include "ComPtr.h"

#include <windows.h>
#include <urlmon.h>

#include <string>

// Reads one page file (by its name relative to the page folder); false when there is none.
using PageFileReader = bool (*)(const std::wstring& name, std::string& bytes);

// Reads page files embedded as RCDATA resources named after the files.
bool ReadPageResource(const std::wstring& name, std::string& bytes);

// Registers the handler in this process's internet session; returns the session registration
// so that it can be undone. A null reader means ReadPageResource.
class PageProtocolRegistration {
public:
    explicit PageProtocolRegistration(PageFileReader reader = nullptr);
    PageProtocolRegistration(const PageProtocolRegistration&) = delete;
    PageProtocolRegistration& operator=(const PageProtocolRegistration&) = delete;
    ~PageProtocolRegistration();
    HRESULT Result() const { return hr_; }

private:
    ComPtr<IInternetSession> session_;
    ComPtr<IClassFactory> factory_;
    HRESULT hr_ = E_FAIL;
};

// Makes one protocol object, for tests that drive it directly as the browser would.
HRESULT CreatePageProtocol(PageFileReader reader, IInternetProtocol** protocol);
