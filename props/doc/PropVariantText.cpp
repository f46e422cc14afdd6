#include "PropVariantText.h"

#include "platform/FileTimeText.h"
#include "core/TextConvert.h"
#include "platform/Bstr.h"
#include "platform/ComError.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace docprops {

namespace {

constexpr unsigned long long kTicksPerSecond = 10000000ULL;

template <typename... Args> std::wstring Format(const wchar_t* format, Args... args)
{
    // Wide enough for any double in "%f" (up to 309 digits before the point).
    wchar_t buffer[400];
    const int length = std::swprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), format, args...);
    return length < 0 ? std::wstring() : std::wstring(buffer, static_cast<size_t>(length));
}

std::wstring AnsiText(const char* text)
{
    if (!text || !*text) return {};
    const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t buffer[64];
    return StringFromGUID2(guid, buffer, 64) > 0 ? buffer : L"";
}

// 100-nanosecond units as "hh:mm:ss"; hours are not wrapped, so 100 hours print as 100.
std::wstring DurationText(unsigned long long ticks)
{
    const auto seconds = static_cast<unsigned int>(ticks / kTicksPerSecond);
    return Format(L"%02u:%02u:%02u", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

unsigned long long Ticks(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<std::wstring> StringElement(const PROPVARIANT& value, ULONG index)
{
    switch (value.vt & VT_TYPEMASK) {
    case VT_LPWSTR:
        if (!value.calpwstr.pElems) return std::nullopt;
        return std::wstring(value.calpwstr.pElems[index] ? value.calpwstr.pElems[index] : L"");
    case VT_BSTR:
        if (!value.cabstr.pElems) return std::nullopt;
        return BstrText(value.cabstr.pElems[index]);
    case VT_LPSTR:
        if (!value.calpstr.pElems) return std::nullopt;
        return AnsiText(value.calpstr.pElems[index]);
    default: return std::nullopt;
    }
}

// ---- reading texts -------------------------------------------------------------------------

// Decimal digits only, without overflow.
std::optional<unsigned long long> Digits(std::wstring_view text)
{
    if (text.empty()) return std::nullopt;
    unsigned long long value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - L'0');
        if (value > (ULLONG_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

struct Decimal {
    bool negative;
    unsigned long long magnitude;
};

// An integer in decimal, with an optional sign and white space around it.
std::optional<Decimal> ReadDecimal(const std::wstring& input)
{
    const std::wstring text = TrimWhiteSpace(input);
    std::wstring_view digits(text);
    bool negative = false;
    if (!digits.empty() && (digits[0] == L'+' || digits[0] == L'-')) {
        negative = digits[0] == L'-';
        digits.remove_prefix(1);
    }
    const auto magnitude = Digits(digits);
    if (!magnitude) return std::nullopt;
    return Decimal{negative && *magnitude != 0, *magnitude};
}

std::optional<LONG> ReadInt32(const std::wstring& text)
{
    const auto number = ReadDecimal(text);
    if (!number) return std::nullopt;
    if (number->negative) {
        if (number->magnitude > static_cast<unsigned long long>(INT_MAX) + 1) return std::nullopt;
        return static_cast<LONG>(-static_cast<long long>(number->magnitude));
    }
    if (number->magnitude > INT_MAX) return std::nullopt;
    return static_cast<LONG>(number->magnitude);
}

std::optional<unsigned long long> ReadUnsigned(const std::wstring& text, unsigned long long limit)
{
    const auto number = ReadDecimal(text);
    if (!number || number->negative || number->magnitude > limit) return std::nullopt;
    return number->magnitude;
}

// A decimal number as the page accepts it: optional sign, digits, an optional fraction and an
// optional exponent, white space around; a value too large for a double is refused.
std::optional<double> ReadReal(const std::wstring& input)
{
    const std::wstring text = TrimWhiteSpace(input);
    size_t i = 0;
    const auto digitsFrom = [&](size_t at) {
        size_t end = at;
        while (end < text.size() && text[end] >= L'0' && text[end] <= L'9')
            ++end;
        return end;
    };
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
    size_t end = digitsFrom(i);
    if (end == i) return std::nullopt;
    i = end;
    if (i < text.size() && text[i] == L'.') {
        end = digitsFrom(i + 1);
        if (end == i + 1) return std::nullopt;
        i = end;
    }
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) ++i;
        end = digitsFrom(i);
        if (end == i) return std::nullopt;
        i = end;
    }
    if (i != text.size()) return std::nullopt;
    const double value = std::wcstod(text.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// "h:m:s" in any number of digits each (runs of colons count as one), or a plain number of
// 100-nanosecond units.
std::optional<unsigned long long> ReadEditTime(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find(L':', pos);
        if (end == std::wstring::npos) end = text.size();
        if (end > pos) parts.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    if (parts.size() != 3) return ReadUnsigned(text, ULLONG_MAX);
    unsigned long long seconds = 0;
    const unsigned long long scales[] = {3600, 60, 1};
    for (size_t i = 0; i < 3; ++i) {
        // No part may pass 32 bits, so the sum cannot overflow before the check below.
        const auto value = ReadUnsigned(parts[i], UINT_MAX);
        if (!value) return std::nullopt;
        seconds += *value * scales[i];
    }
    if (seconds > ULLONG_MAX / kTicksPerSecond) return std::nullopt;
    return seconds * kTicksPerSecond;
}

bool IsEditTime(const std::wstring& name, VARTYPE type)
{
    return type == VT_UI8 && name == L"EditTime";
}

} // namespace

std::wstring JoinStringElements(const PROPVARIANT& value)
{
    if (!(value.vt & VT_VECTOR)) return {};
    std::wstring text;
    // Every counted array of a PROPVARIANT starts with its count.
    const ULONG count = value.cac.cElems;
    for (ULONG index = 0; index < count; ++index) {
        const auto element = StringElement(value, index);
        if (!element) break;
        if (!text.empty()) text += L", ";
        text += *element;
    }
    return text;
}

std::optional<std::wstring> VariantToText(const PROPVARIANT& value, const PROPERTYKEY& key)
{
    if (value.vt & VT_VECTOR) return (value.vt & 0x1F) ? JoinStringElements(value) : std::wstring();
    switch (value.vt) {
    case VT_I2: return Format(L"%i", static_cast<int>(value.iVal));
    case VT_I4: return Format(L"%li", static_cast<long>(value.lVal));
    case VT_INT: return Format(L"%i", value.intVal);
    case VT_R4: return Format(L"%f", static_cast<double>(value.fltVal));
    case VT_R8: return Format(L"%f", value.dblVal);
    case VT_BSTR: return BstrText(value.bstrVal);
    case VT_LPWSTR: return std::wstring(value.pwszVal ? value.pwszVal : L"");
    case VT_ERROR: return Format(L"0x%08X", static_cast<unsigned>(value.scode));
    case VT_BOOL: return std::wstring(value.boolVal == VARIANT_TRUE ? L"True" : L"False");
    case VT_I1: return Format(L"%i", static_cast<int>(static_cast<signed char>(value.cVal)));
    case VT_UI1: return Format(L"%u", static_cast<unsigned>(value.bVal));
    case VT_UI2: return Format(L"%u", static_cast<unsigned>(value.uiVal));
    case VT_UI4: return Format(L"%lu", static_cast<unsigned long>(value.ulVal));
    case VT_UINT: return Format(L"%u", value.uintVal);
    case VT_I8: return Format(L"%lld", static_cast<long long>(value.hVal.QuadPart));
    case VT_UI8:
        if (key.pid == kEditTimeId) return DurationText(value.uhVal.QuadPart);
        return Format(L"%llu", static_cast<unsigned long long>(value.uhVal.QuadPart));
    case VT_LPSTR: return AnsiText(value.pszVal);
    case VT_FILETIME:
        // The summary set keeps the editing time as a FILETIME too; it is a duration, not a date.
        if (key.pid == kEditTimeId && IsEqualGUID(key.fmtid, kSummaryInformation))
            return DurationText(Ticks(value.filetime));
        return FileTimeToText(value.filetime);
    case VT_CLSID: return value.puuid ? GuidText(*value.puuid) : std::wstring();
    default: return std::wstring();
    }
}

TextConversion TextToVariant(const std::wstring& name, VARTYPE type, const std::wstring& text, PropVariant& value)
{
    PROPVARIANT& out = *value.Put();
    switch (type) {
    case VT_I4: {
        const auto number = ReadInt32(text);
        if (!number) return TextConversion::NotAValue;
        out.lVal = *number;
        break;
    }
    case VT_UI4: {
        const auto number = ReadUnsigned(text, ULONG_MAX);
        if (!number) return TextConversion::NotAValue;
        out.ulVal = static_cast<ULONG>(*number);
        break;
    }
    case VT_UI8: {
        const auto number = IsEditTime(name, type) ? ReadEditTime(text) : ReadUnsigned(text, ULLONG_MAX);
        if (!number) return TextConversion::NotAValue;
        out.uhVal.QuadPart = *number;
        break;
    }
    case VT_R8: {
        const auto number = ReadReal(text);
        if (!number) return TextConversion::NotAValue;
        out.dblVal = *number;
        break;
    }
    case VT_BOOL: out.boolVal = text == L"True" ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_LPSTR:
    case VT_LPWSTR: {
        const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (!copy) throw ComError(E_OUTOFMEMORY);
        std::wmemcpy(copy, text.c_str(), text.size() + 1);
        out.pwszVal = copy;
        type = VT_LPWSTR;
        break;
    }
    case VT_FILETIME: {
        std::wstring why;
        if (!TextToFileTime(text, out.filetime, why)) return TextConversion::NotAValue;
        break;
    }
    default: return TextConversion::NoTextForm;
    }
    out.vt = type;
    return TextConversion::Converted;
}

std::wstring ExpectedTextOf(const std::wstring& name, VARTYPE type)
{
    if (IsEditTime(name, type)) return L"duration";
    return type == VT_FILETIME ? L"date-time text" : L"number";
}

} // namespace docprops
