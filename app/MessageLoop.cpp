#include "MessageLoop.h"

#include "platform/AxHost.h"

bool PreTranslateMessage(MSG& message, HWND controlHost)
{
    if (!controlHost || !IsWindow(controlHost)) return false;
    const bool keyboard = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    const bool mouse = message.message >= WM_MOUSEFIRST && message.message <= 0x020E;
    if (!keyboard && !mouse) return false;
    // F1 to F12 never reach the page: no refresh, no help, no full screen.
    if (message.message == WM_KEYDOWN && message.wParam >= VK_F1 && message.wParam <= VK_F12) return true;

    HWND window = GetFocus();
    while (window && window != controlHost)
        window = GetParent(window);
    if (!window) return false;
    return SendMessageW(window, kWmForwardMsg, 0, reinterpret_cast<LPARAM>(&message)) != 0;
}

void RunMessageLoop(HWND mainWindow, HWND (*controlHost)(void* context), void* context)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsWindow(mainWindow)) break;
        if (!PreTranslateMessage(message, controlHost(context))) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
