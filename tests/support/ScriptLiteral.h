#pragma once
// Reads script string literals as a script engine does, so that tests can check what text a
// generated script call really hands to the page.
#include <optional>
#include <string>

namespace script_literal {

inline int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

inline bool IsLineTerminator(wchar_t c)
{
    return c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029;
}

// Reads a fixed number of hex digits; nothing when one of them is not a hex digit.
inline std::optional<unsigned> ReadHex(const std::wstring& text, size_t& i, size_t digits)
{
    unsigned value = 0;
    for (size_t k = 0; k < digits; ++k, ++i) {
        if (i >= text.size() || HexValue(text[i]) < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(HexValue(text[i]));
    }
    return value;
}

// The value of the string literal that starts at text[i], as a script engine reads it; i ends
// just past the closing quote. Nothing when the literal is malformed or unterminated.
inline std::optional<std::wstring> DecodeLiteral(const std::wstring& text, size_t& i)
{
    if (i >= text.size() || (text[i] != L'"' && text[i] != L'\'')) return std::nullopt;
    const wchar_t quote = text[i++];
    std::wstring value;
    while (i < text.size()) {
        const wchar_t c = text[i++];
        if (c == quote) return value;
        // A raw line terminator ends a script string with a syntax error (U+2028/9 did so before
        // ES2019, and still do in the browser control's engine).
        if (IsLineTerminator(c)) return std::nullopt;
        if (c != L'\\') {
            value += c;
            continue;
        }
        if (i >= text.size()) return std::nullopt;
        const wchar_t e = text[i++];
        switch (e) {
        case L'b': value += L'\b'; break;
        case L'f': value += L'\f'; break;
        case L'n': value += L'\n'; break;
        case L'r': value += L'\r'; break;
        case L't': value += L'\t'; break;
        case L'v': value += L'\v'; break;
        case L'0':
            if (i < text.size() && text[i] >= L'0' && text[i] <= L'9') return std::nullopt; // octal
            value += L'\0';
            break;
        case L'x': {
            const auto code = ReadHex(text, i, 2);
            if (!code) return std::nullopt;
            value += static_cast<wchar_t>(*code);
            break;
        }
        case L'u': {
            const auto code = ReadHex(text, i, 4);
            if (!code) return std::nullopt;
            value += static_cast<wchar_t>(*code);
            break;
        }
        case L'\r':
            // Line continuation: the escaped line break stands for nothing.
            if (i < text.size() && text[i] == L'\n') ++i;
            break;
        case L'\n':
        case 0x2028:
        case 0x2029: break;
        default:
            if (e >= L'1' && e <= L'9') return std::nullopt; // octal escapes
            value += e;                                      // any other escaped character is itself
        }
    }
    return std::nullopt;
}

inline std::optional<std::wstring> DecodeWholeLiteral(const std::wstring& literal)
{
    size_t i = 0;
    auto value = DecodeLiteral(literal, i);
    if (i != literal.size()) return std::nullopt;
    return value;
}

} // namespace script_literal
