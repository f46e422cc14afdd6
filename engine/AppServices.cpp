#include "AppServices.h"

#include "core/JsonWrapper.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

void LogFromPage(const std::wstring& text)
{
    OutputDebugStringW((L"Log from JS: " + text).c_str());
}

std::wstring ReadSetting(const std::wstring& name, const wchar_t* key)
{
    DWORD type = 0;
    DWORD size = 0;
    if (SHGetValueW(HKEY_CURRENT_USER, key, name.c_str(), &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    // The value may change between the two reads; a value that grew is asked for again, a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Room for whole code units plus a null, whatever the reported size: an odd size must not
        // let the read run past the buffer.
        std::vector<wchar_t> buffer(size / 2 + 2, L'\0');
        DWORD read = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const DWORD status = SHGetValueW(HKEY_CURRENT_USER, key, name.c_str(), &type, buffer.data(), &read);
        if (status == ERROR_MORE_DATA) {
            size = read;
            continue;
        }
        if (status != ERROR_SUCCESS) return {};
        // Trust the reported count only as far as the buffer goes.
        const size_t units = std::min<size_t>(read / 2, buffer.size());
        const wchar_t* data = buffer.data();
        if (type == REG_SZ) {
            size_t length = 0;
            while (length < units && data[length] != L'\0')
                ++length;
            return std::wstring(data, length);
        }
        return std::wstring(data, units);
    }
    return {};
}

void WriteSetting(const std::wstring& name, const std::wstring& value, const wchar_t* key)
{
    // The stored data has no terminating null: 2 bytes per code unit. The registry counts a null
    // the caller left out when one follows the data, so the data is followed by a non-null guard.
    std::vector<wchar_t> data(value.begin(), value.end());
    data.push_back(L'?');
    SHSetValueW(HKEY_CURRENT_USER, key, name.c_str(), REG_SZ, data.data(),
                static_cast<DWORD>(value.size() * sizeof(wchar_t)));
}

std::wstring OwnModulePath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring GetAppVersion(const std::wstring& modulePath)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(modulePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(modulePath.c_str(), 0, size, block.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    wchar_t text[64];
    std::swprintf(text, 64, L"%d.%d.%d.%d", static_cast<short>(HIWORD(info->dwFileVersionMS)),
                  static_cast<short>(LOWORD(info->dwFileVersionMS)), static_cast<short>(HIWORD(info->dwFileVersionLS)),
                  static_cast<short>(LOWORD(info->dwFileVersionLS)));
    return text;
}

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = std::wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

} // namespace

bool IsWebOrMailAddress(const std::wstring& text)
{
    // The shell falls back to treating a text as a path or a program when it is not a well-formed
    // address; backslashes, blanks, control characters and quotes are where such readings start.
    for (const wchar_t c : text) {
        if (c <= 0x20 || c == 0x7F || c == L'\\' || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'^' ||
            c == L'`' || std::iswspace(c))
            return false;
    }
    for (const wchar_t* scheme : {L"http://", L"https://"}) {
        if (StartsWithNoCase(text, scheme)) {
            const size_t host = std::wcslen(scheme);
            // A host must follow: "http:///x" names none.
            return text.size() > host && text[host] != L'/';
        }
    }
    if (StartsWithNoCase(text, L"mailto:")) return text.size() > std::wcslen(L"mailto:");
    return false;
}

void OpenWebOrMailAddress(const std::wstring& text)
{
    if (!IsWebOrMailAddress(text)) return;
    ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOW);
}

std::wstring WindowSizeText(HWND window)
{
    RECT rect{};
    if (window) GetWindowRect(window, &rect);
    JsonWrapper size;
    size.MakeObject();
    size.AddNumber(L"width", rect.right - rect.left);
    size.AddNumber(L"height", rect.bottom - rect.top);
    return size.Print();
}

std::wstring SetWindowSizeFromText(HWND window, const std::wstring& sizeText)
{
    JsonWrapper size;
    if (!size.Parse(sizeText)) return {};
    int width = 0;
    int height = 0;
    // A size without both numbers would shrink the window to nothing; the window keeps its size.
    if (window && size.GetMember(L"width").GetInt(width) && size.GetMember(L"height").GetInt(height)) {
        MoveWindow(window, 0, 0, width, height, TRUE);
        CentreWindow(window);
    }
    return size.Print();
}

void CentreWindow(HWND window)
{
    if (!window) return;
    HWND reference = GetWindow(window, GW_OWNER);
    if (reference) {
        const LONG_PTR style = GetWindowLongPtrW(reference, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_MINIMIZE)) reference = nullptr;
    }
    HMONITOR monitor = MonitorFromWindow(reference ? reference : window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return;
    const RECT work = info.rcWork;
    RECT centre = work;
    if (reference) GetWindowRect(reference, &centre);

    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = (centre.left + centre.right) / 2 - width / 2;
    int top = (centre.top + centre.bottom) / 2 - height / 2;
    if (left + width > work.right) left = work.right - width;
    if (left < work.left) left = work.left;
    if (top + height > work.bottom) top = work.bottom - height;
    if (top < work.top) top = work.top;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
