#pragma once
// An ActiveX control host window class. A child window of class "AtlAxWin120" creates the control
// whose class identifier is its window text, hosts it in place (client site, in-place site and
// frame in one object), keeps it sized to the window, and offers it keyboard messages forwarded
// with WM_FORWARDMSG so that the control's own accelerators (Tab, clipboard keys) work.
#include <windows.h>
#include <unknwn.h>

constexpr UINT kWmForwardMsg = 0x037F;

// Registers the host's window classes and messages; safe to call more than once.
bool RegisterAxHostClasses();

// The window messages "WM_ATLGETHOST" and "WM_ATLGETCONTROL", registered by name.
UINT AxGetHostMessage();
UINT AxGetControlMessage();

// Asks a host window for an interface of the control it hosts; adds a reference on success.
HRESULT AxGetControl(HWND host, REFIID iid, void** out);
