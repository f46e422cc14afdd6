#pragma once
// Reads one string property of every instance of a WMI class. COM and the process's security
// settings are started by the entry point.
//
// A WMI provider may take minutes over a class (every file on every drive) or never answer at
// all, and the window waits for each command. So the query runs on a thread of its own, and the
// caller waits a few seconds at most for each step (connecting, starting the query, each object):
// when a step takes longer, the answer is what was gathered so far. The thread left behind stops
// at its next step.

#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <string>
#include <string_view>

class HardwareInfo {
public:
    // How long the caller waits for one step of a query.
    static constexpr std::chrono::milliseconds kStepLimit{5000};

    HardwareInfo() = default;
    HardwareInfo(const HardwareInfo&) = delete;
    HardwareInfo& operator=(const HardwareInfo&) = delete;
    virtual ~HardwareInfo() = default;

    // Takes ownership of the three strings and frees them on every path. Class and property names
    // must be identifiers (letters, digits, underscore) and the namespace a local one (names of
    // that kind separated by \ or /, no server part); anything else gives empty text, so that no
    // request can widen the query or reach another machine with the user's credentials.
    std::wstring QueryWmi(BSTR nameSpace, BSTR className, BSTR propertyName);
};

// The name checks above.
bool IsWmiIdentifier(std::wstring_view text);
bool IsLocalWmiNamespace(std::wstring_view text);
