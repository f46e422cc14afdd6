#include "ProcessStartup.h"

#include <gdiplus.h>

ComApartment::ComApartment() : init_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
{
    // WMI needs the process's security settings before any proxy is made; they can be set once.
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    started_ = SUCCEEDED(init_) && SUCCEEDED(security);
}

ComApartment::~ComApartment()
{
    if (SUCCEEDED(init_)) CoUninitialize();
}

GdiplusSession::GdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
}

GdiplusSession::~GdiplusSession()
{
    if (token_) Gdiplus::GdiplusShutdown(token_);
}
