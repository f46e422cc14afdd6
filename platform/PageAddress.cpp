#include "PageAddress.h"

#include <cwctype>

namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
    }
    return true;
}

// File extensions, like file names on Windows, ignore letter case.
bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix)
{
    if (text.size() < suffix.size()) return false;
    return StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Page file names are plain relative paths: letters, digits, '.', '-', '_' and '/', no empty,
// "." or ".." segment.
bool IsPlainName(std::wstring_view name)
{
    if (name.empty()) return false;
    size_t segmentStart = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == L'/') {
            const std::wstring_view segment = name.substr(segmentStart, i - segmentStart);
            if (segment.empty() || segment == L"." || segment == L"..") return false;
            segmentStart = i + 1;
            continue;
        }
        const wchar_t c = name[i];
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                           c == L'.' || c == L'-' || c == L'_';
        if (!plain) return false;
    }
    return true;
}

struct MimeEntry {
    const wchar_t* extension;
    const wchar_t* type;
};

constexpr MimeEntry kMimeTypes[] = {
    {L".html", L"text/html"},        {L".js", L"application/javascript"},
    {L".css", L"text/css"},          {L".svg", L"image/svg+xml"},
    {L".png", L"image/png"},         {L".ico", L"image/x-icon"},
    {L".json", L"application/json"},
};

} // namespace

std::optional<std::wstring> PageFileForUrl(std::wstring_view url)
{
    const std::wstring_view origin = L"http://varenko.localhost/varenko/";
    if (!StartsWithNoCase(url, origin)) return std::nullopt;
    std::wstring_view path = url.substr(origin.size());
    path = path.substr(0, path.find_first_of(L"?#"));
    // The page's folder name is matched in any case, like the rest of the address before it.
    if (StartsWithNoCase(path, L"UI") && (path.size() == 2 || (path.size() == 3 && path[2] == L'/')))
        return std::wstring(L"index.html");
    if (StartsWithNoCase(path, L"UI/")) path.remove_prefix(3);
    if (!IsPlainName(path)) return std::nullopt;
    return std::wstring(path);
}

std::wstring PageResourceName(std::wstring_view fileName)
{
    std::wstring name = L"PAGE_";
    for (const wchar_t c : fileName) {
        if (c >= L'a' && c <= L'z')
            name += static_cast<wchar_t>(c - L'a' + L'A');
        else if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
            name += c;
        else
            name += L'_';
    }
    return name;
}

const wchar_t* MimeTypeFor(std::wstring_view fileName)
{
    for (const MimeEntry& entry : kMimeTypes) {
        if (EndsWithNoCase(fileName, entry.extension)) return entry.type;
    }
    return L"application/octet-stream";
}
