#pragma once
// Reads one string property of every instance of a WMI class. Its lifetime also brackets the
// process's COM apartment and security settings.
#include "../platform/ComInit.h"

#include <oleauto.h>

#include <string>

class HardwareInfo {
public:
    HardwareInfo();
    HardwareInfo(const HardwareInfo&) = delete;
    HardwareInfo& operator=(const HardwareInfo&) = delete;
    virtual ~HardwareInfo() = default;

    bool ComStarted() const { return comStarted_; }

    // Takes ownership of the three strings and frees them on every path.
    std::wstring QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName);

private:
    ComInit com_;
    bool comStarted_ = false;
};
