#include "ThreadAnsiCodePage.h"

#include <windows.h>

std::wstring ThreadAnsiCodePage::Decode(const std::string& bytes) const
{
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), size, text.data(), length);
    return text;
}

bool ThreadAnsiCodePage::EncodeExact(const std::wstring& text, std::string& bytes) const
{
    bytes.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = &usedDefault;
    int length = WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), size, nullptr, 0, nullptr, used);
    if (length <= 0) {
        // UTF-8 as the system's code page takes neither the flag nor the question: the round trip
        // below is then the whole check.
        const DWORD error = GetLastError();
        if (error != ERROR_INVALID_FLAGS && error != ERROR_INVALID_PARAMETER) return false;
        flags = 0;
        used = nullptr;
        length = WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    }
    if (length <= 0 || usedDefault) return false;
    bytes.assign(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(CP_THREAD_ACP, flags, text.data(), size, bytes.data(), length, nullptr, used) != length ||
        usedDefault)
        return false;
    return Decode(bytes) == text;
}
