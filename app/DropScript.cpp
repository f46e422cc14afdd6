#include "DropScript.h"

#include <cwchar>

std::wstring ScriptStringLiteral(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'"': out += L"\\\""; break;
        case L'\'': out += L"\\'"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'\t': out += L"\\t"; break;
        default:
            // Control characters, the script line terminators and markup brackets as \u escapes.
            if (c < 0x20 || c == 0x2028 || c == 0x2029 || c == L'<' || c == L'>' || c == 0x7F) {
                wchar_t escape[8];
                std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + L"\"";
}

std::wstring AddFilesScript(const std::wstring& printedList)
{
    return L"onAddFiles(" + ScriptStringLiteral(printedList) + L");";
}
