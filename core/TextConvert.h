#pragma once
// UTF-16 (the native side's text) and UTF-8 (the JSON tree's text), converted without the
// platform so that the conversion can be tested on plain buffers. Ill-formed input never fails:
// each bad sequence becomes U+FFFD, as the system's own conversion does.
#include <string>
#include <string_view>

std::string Utf16ToUtf8(std::wstring_view text);
// Appends one code point (at most U+10FFFF, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);
std::wstring Utf8ToUtf16(std::string_view text);
// Whether the bytes are well-formed UTF-8 throughout: no overlong form, no encoded surrogate, nothing
// past U+10FFFF, no sequence cut short. Empty text and plain ASCII are.
bool IsUtf8(std::string_view text);

// The text without the white space (as iswspace classifies it) at either end.
std::wstring TrimWhiteSpace(const std::wstring& text);
