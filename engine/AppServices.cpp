#include "AppServices.h"

#include "core/JsonWrapper.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string_view>
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

bool WriteSetting(const std::wstring& name, const std::wstring& value, const wchar_t* key)
{
    // A setting is a word or a small list; a larger value is a fault or an attack, and the registry
    // file it would grow is loaded whole at every log-on.
    if (value.size() * sizeof(wchar_t) > kMaxSettingBytes) return false;
    // The stored data has no terminating null: 2 bytes per code unit. The registry counts a null
    // the caller left out when one follows the data, so the data is followed by a non-null guard.
    std::vector<wchar_t> data(value.begin(), value.end());
    data.push_back(L'?');
    return SHSetValueW(HKEY_CURRENT_USER, key, name.c_str(), REG_SZ, data.data(),
                       static_cast<DWORD>(value.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
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

bool StartsWithNoCase(std::wstring_view text, const wchar_t* prefix)
{
    const size_t length = std::wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.data(), prefix, length) == 0;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A parameter name as a mail program reads it: percent escapes decoded.
std::wstring DecodedName(std::wstring_view name)
{
    std::wstring out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == L'%' && i + 2 < name.size() && HexValue(name[i + 1]) >= 0 && HexValue(name[i + 2]) >= 0) {
            out += static_cast<wchar_t>(HexValue(name[i + 1]) * 16 + HexValue(name[i + 2]));
            i += 2;
        } else {
            out += name[i];
        }
    }
    return out;
}

// Mail programs take "attach=" (and "attachment=") in a mailto address as a file to send along: a
// page could mail the user's files away with a click. Any parameter whose name starts so is taken
// for one, in any letter case, percent-escaped or not, and whichever of ? & ; comes before it.
bool AsksToAttachFiles(std::wstring_view address)
{
    size_t start = address.find_first_of(L"?&;");
    while (start != std::wstring_view::npos) {
        const size_t end = address.find_first_of(L"?&;", start + 1);
        const std::wstring_view parameter =
            address.substr(start + 1, end == std::wstring_view::npos ? end : end - start - 1);
        if (StartsWithNoCase(DecodedName(parameter.substr(0, parameter.find(L'='))), L"attach")) return true;
        start = end;
    }
    return false;
}

} // namespace

bool IsWebOrMailAddress(const std::wstring& text)
{
    // Longer addresses are no real page's, and the shell's handlers are not made for them.
    if (text.size() > kMaxAddressLength) return false;
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
    if (StartsWithNoCase(text, L"mailto:")) return text.size() > std::wcslen(L"mailto:") && !AsksToAttachFiles(text);
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
