#include "tests/support/Windows.h"

#include <windows.h>

bool CanCreateWindows()
{
    static const bool can = [] {
        const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
        if (!probe) return false;
        DestroyWindow(probe);
        return true;
    }();
    return can;
}
