#pragma once
// Reads one string property of every instance of a WMI class. COM and the process's security
// settings are started by the entry point.

#include <windows.h>
#include <oleauto.h>

#include <string>

class HardwareInfo {
public:
    HardwareInfo() = default;
    HardwareInfo(const HardwareInfo&) = delete;
    HardwareInfo& operator=(const HardwareInfo&) = delete;
    virtual ~HardwareInfo() = default;

    // Takes ownership of the three strings and frees them on every path.
    std::wstring QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName);
};
