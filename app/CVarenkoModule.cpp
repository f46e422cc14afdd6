#include "CVarenkoModule.h"

CVarenkoModule g_module;

CVarenkoModule::CVarenkoModule() : instance_(GetModuleHandleW(nullptr)) {}

CVarenkoModule::~CVarenkoModule()
{
    for (auto it = termFunctions_.rbegin(); it != termFunctions_.rend(); ++it)
        (*it)();
    for (const std::wstring& name : classes_)
        UnregisterClassW(name.c_str(), instance_);
}
