#pragma once
// A window class wrapper: the object behind a window handle receives its messages through a
// table of message → member function. The object must outlive its window.
#include <windows.h>

template <typename Derived> class WindowImpl {
public:
    HWND Handle() const { return hwnd_; }

protected:
    // One row of a message map; the handler returns the message's result.
    struct MessageEntry {
        UINT message;
        LRESULT (Derived::*handler)(WPARAM wParam, LPARAM lParam);
    };

    // Registers the class once per process under the given name and creates the window.
    HWND CreateWindowOfClass(const wchar_t* className, const wchar_t* title, DWORD style, const RECT& rect,
                             HWND parent = nullptr)
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        if (!GetClassInfoExW(instance, className, &existing)) {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
            windowClass.lpfnWndProc = &WindowImpl::StartProc;
            windowClass.hInstance = instance;
            windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            windowClass.lpszClassName = className;
            if (!RegisterClassExW(&windowClass)) return nullptr;
        }
        return CreateWindowExW(0, className, title, style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, instance, this);
    }

    // Called for every message after the map had its say; the object may not touch the window
    // handle after this returns for WM_NCDESTROY.
    virtual void OnFinalMessage(HWND) {}

private:
    static LRESULT CALLBACK StartProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<WindowImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowImpl::Proc));
            return Proc(hwnd, message, wParam, lParam);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<WindowImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        LRESULT result = 0;
        bool handled = false;
        for (const MessageEntry& entry : Derived::kMessageMap) {
            if (entry.message == message) {
                result = (static_cast<Derived*>(self)->*entry.handler)(wParam, lParam);
                handled = true;
                break;
            }
        }
        if (!handled) result = DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->OnFinalMessage(hwnd);
        }
        return result;
    }

    HWND hwnd_ = nullptr;
};
