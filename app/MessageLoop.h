#pragma once
// The one message loop of the program and its pre-translation step, which keeps the function keys
// from the page and offers every other key and mouse message to the browser control first.
#include <windows.h>

// True when the message has been consumed and must not be translated or dispatched.
bool PreTranslateMessage(MSG& message, HWND controlHost);

// Runs until WM_QUIT or until the main window is gone.
void RunMessageLoop(HWND mainWindow, HWND (*controlHost)(void* context), void* context);
