// UTF-8 and UTF-16 conversion: the first conversion of any bytes repairs them, and after it a
// round trip changes nothing. The input is read twice: as UTF-8 bytes, and as 16-bit units (two
// bytes each, low first), the only units a UTF-16 text holds even where wchar_t is wider.
#include "FuzzCheck.h"

#include "core/TextConvert.h"

#include <cstdint>
#include <cwctype>
#include <string>
#include <string_view>

namespace {

bool IsHigh(wchar_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(wchar_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The units with each surrogate that has no partner replaced by U+FFFD.
std::wstring Repaired(const std::wstring& units)
{
    std::wstring out;
    for (size_t i = 0; i < units.size(); ++i) {
        if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1])) {
            out += units[i];
            out += units[++i];
        } else {
            out += IsHigh(units[i]) || IsLow(units[i]) ? L'\xFFFD' : units[i];
        }
    }
    return out;
}

void CheckTrim(const std::wstring& text)
{
    const std::wstring trimmed = TrimWhiteSpace(text);
    FUZZ_CHECK(text.find(trimmed) != std::wstring::npos);
    FUZZ_CHECK(trimmed.empty() || (!std::iswspace(trimmed.front()) && !std::iswspace(trimmed.back())));
    FUZZ_CHECK(TrimWhiteSpace(trimmed) == trimmed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring text = Utf8ToUtf16(bytes);
    for (wchar_t unit : text)
        FUZZ_CHECK(static_cast<unsigned long>(unit) <= 0xFFFF);
    FUZZ_CHECK(Repaired(text) == text);
    const std::string utf8 = Utf16ToUtf8(text);
    FUZZ_CHECK(Utf8ToUtf16(utf8) == text);
    FUZZ_CHECK(Utf16ToUtf8(Utf8ToUtf16(utf8)) == utf8);
    CheckTrim(text);

    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2)
        units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const std::string fromUnits = Utf16ToUtf8(units);
    FUZZ_CHECK(Utf8ToUtf16(fromUnits) == Repaired(units));
    FUZZ_CHECK(Utf16ToUtf8(Repaired(units)) == fromUnits);
    return 0;
}
