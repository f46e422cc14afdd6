#include "HardwareInfo.h"

#include <objbase.h>

HardwareInfo::HardwareInfo()
{
    const HRESULT security = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    comStarted_ = com_.Succeeded() && SUCCEEDED(security);
}

std::wstring HardwareInfo::QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName)
{
    SysFreeString(nameSpace);
    SysFreeString(className);
    SysFreeString(propertyName);
    return {};
}
