// Varenko.exe: a single top-level window whose client area is the browser control showing the
// page. Everything runs on this one thread, in one single-threaded COM apartment.
#include "CVarenkoModule.h"
#include "CrashFilter.h"
#include "MessageLoop.h"
#include "UIWindow.h"
#include "engine/AppServices.h"
#include "platform/FileSave.h"
#include "platform/ProcessStartup.h"

#include <memory>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    SetUnhandledExceptionFilter(CrashFilter);
    {
        const ProcessStartup startup;
        // Scratch files of saves that a killed process never ended.
        CleanUpInterruptedSaves();
        // Heap-held: the window object carries every handler and lives until the loop has ended.
        auto window = std::make_unique<UIWindow>();
        g_module.AddWindowClass(L"AtlAxWin120");
        g_module.AddWindowClass(L"AtlAxWinLic120");
        const HWND handle = window->Create();
        if (!handle) {
            MessageBoxW(nullptr, L"Varenko cannot start: its main window could not be created.", L"Varenko",
                        MB_OK | MB_ICONERROR);
            return 0;
        }
        g_module.AddWindowClass(UIWindow::kClassName);
        CentreWindow(handle);
        RunMessageLoop(
            handle, [](void* context) { return static_cast<UIWindow*>(context)->ControlHost(); }, window.get());
    }
    return 0;
}
