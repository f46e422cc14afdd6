#include "ExifItemText.h"

#include "core/TextConvert.h"

#include <cstdint>
#include <cwctype>

namespace {

struct TypeName {
    const wchar_t* name;
    uint16_t type;
};
// The names the page uses, in the order they are compared. "Unicode" names the type of Windows'
// text items: their values are BYTE, and the item says that they hold text.
constexpr TypeName kTypeNames[] = {
    {L"Byte", 1},      {L"ASCII", 2}, {L"Short", 3},      {L"Long", 4},    {L"Rational", 5},
    {L"Undefined", 7}, {L"SLONG", 9}, {L"SRational", 10}, {L"Unicode", 1},
};
constexpr uint16_t kByte = 1;
constexpr uint16_t kUndefined = 7;

// Windows' own text items: XPTitle, XPComment, XPAuthor, XPKeywords, XPSubject.
constexpr uint32_t kItemXpTitle = 0x9C9B;
constexpr uint32_t kItemXpSubject = 0x9C9F;

constexpr wchar_t kReplacement = 0xFFFD;

uint32_t LittleAt(const std::vector<uint8_t>& value, size_t at, size_t size)
{
    uint32_t number = 0;
    for (size_t i = 0; i < size; ++i)
        number |= static_cast<uint32_t>(value[at + i]) << (8 * i);
    return number;
}

void PutLittle(std::vector<uint8_t>& value, uint32_t number, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        value.push_back(static_cast<uint8_t>(number >> (8 * i)));
}

std::wstring Hex2(uint8_t byte)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 15]};
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// A decimal integer as the C library's reader takes it: white space, a sign, digits; no digits
// gives 0. Values beyond 32 bits are held at the nearest end of what a signed or unsigned 32-bit
// number can be, and stored in 32 bits.
uint32_t ReadDecimal(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() && std::iswspace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    int64_t number = 0;
    constexpr int64_t kLimit = int64_t{1} << 33;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        number = number * 10 + (text[at] - L'0');
        if (number > kLimit) number = kLimit;
    }
    if (negative) number = -number;
    if (number < INT32_MIN) number = INT32_MIN;
    if (number > UINT32_MAX) number = UINT32_MAX;
    return static_cast<uint32_t>(number);
}

// An ASCII value's bytes (up to its first zero) as text: UTF-8 where they are UTF-8, which plain
// ASCII is too, and in the code page otherwise.
std::wstring ReadAscii(const std::string& bytes, const TextCodePage& codePage)
{
    return IsUtf8(bytes) ? Utf8ToUtf16(bytes) : codePage.Decode(bytes);
}

// The bytes an ASCII value holds for a text: the code page's where it holds the text exactly and
// those bytes read back as the text (bytes of the code page that happen to be UTF-8 would be read
// as UTF-8), UTF-8 otherwise.
std::string WriteAscii(const std::wstring& text, const TextCodePage& codePage)
{
    std::string bytes;
    if (codePage.EncodeExact(text, bytes) && ReadAscii(bytes, codePage) == text) return bytes;
    return Utf16ToUtf8(text);
}

bool IsHighSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A Windows text item's value as text: UTF-16LE units up to the first zero unit. What is not
// UTF-16 (an unpaired surrogate, a last byte without its pair) shows as U+FFFD.
std::wstring ReadWindowsText(const std::vector<uint8_t>& value)
{
    std::wstring text;
    const size_t units = value.size() / 2;
    const auto unitAt = [&value](size_t i) { return static_cast<uint32_t>(LittleAt(value, 2 * i, 2)); };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        if (unit == 0) return text;
        if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
            text += static_cast<wchar_t>(unit);
            text += static_cast<wchar_t>(unitAt(++i));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            text += kReplacement;
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    if (value.size() % 2 != 0 && value.back() != 0) text += kReplacement;
    return text;
}

// A text as a Windows text item's value: UTF-16LE and a zero unit.
void WriteWindowsText(const std::wstring& text, std::vector<uint8_t>& value)
{
    for (const wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code > 0xFFFF) { // only where wchar_t holds whole code points
            PutLittle(value, 0xD800 + ((code - 0x10000) >> 10), 2);
            PutLittle(value, 0xDC00 + ((code - 0x10000) & 0x3FF), 2);
        } else {
            PutLittle(value, code, 2);
        }
    }
    PutLittle(value, 0, 2);
}

} // namespace

bool IsWindowsTextItem(uint32_t id)
{
    return id >= kItemXpTitle && id <= kItemXpSubject;
}

std::wstring Latin1CodePage::Decode(const std::string& bytes) const
{
    std::wstring text;
    for (char c : bytes)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return text;
}

bool Latin1CodePage::EncodeExact(const std::wstring& text, std::string& bytes) const
{
    bytes.clear();
    for (wchar_t c : text) {
        if (static_cast<uint32_t>(c) > 0xFF) return false;
        bytes.push_back(static_cast<char>(c));
    }
    return true;
}

ItemValueText FormatItemValue(const ExifImage& image, uint32_t id, const TextCodePage& codePage)
{
    ExifItem item;
    if (!image.GetItem(id, item)) return {};
    return FormatItemValue(item, codePage);
}

ItemValueText FormatItemValue(const ExifItem& item, const TextCodePage& codePage)
{
    ItemValueText result;
    const std::vector<uint8_t>& value = item.value;
    result.length = static_cast<uint32_t>(value.size());
    result.type = item.type;
    std::wstring& text = result.text;
    if (IsWindowsTextItem(item.id) && (item.type == kByte || item.type == kUndefined)) {
        text = ReadWindowsText(value);
        result.count = result.length;
        return result;
    }
    switch (item.type) {
    case 1:
    case 7:
        for (size_t i = 0; i < value.size(); ++i) {
            if (i > 0) text += L' ';
            text += Hex2(value[i]);
        }
        result.count = result.length;
        break;
    case 2: {
        size_t end = 0;
        while (end < value.size() && value[end] != 0)
            ++end;
        text = ReadAscii(std::string(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(end)), codePage);
        result.count = result.length;
        break;
    }
    case 3:
    case 4:
    case 8:
    case 9: {
        const size_t size = item.type == 3 || item.type == 8 ? 2 : 4;
        const size_t count = value.size() / size;
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) text += L", ";
            const uint32_t number = LittleAt(value, size * i, size);
            switch (item.type) {
            case 8: text += std::to_wstring(static_cast<int16_t>(number)); break;
            case 9: text += std::to_wstring(static_cast<int32_t>(number)); break;
            default: text += std::to_wstring(number); break; // SHORT and LONG are unsigned
            }
        }
        result.count = static_cast<uint32_t>(count);
        break;
    }
    case 5:
    case 10: {
        const size_t count = value.size() / 8;
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) text += L", ";
            const uint32_t numerator = LittleAt(value, 8 * i, 4);
            const uint32_t denominator = LittleAt(value, 8 * i + 4, 4);
            if (item.type == 5) {
                text += std::to_wstring(numerator);
                if (denominator != 1) text += L'/' + std::to_wstring(denominator);
            } else {
                text += std::to_wstring(static_cast<int32_t>(numerator));
                if (denominator != 1) text += L'/' + std::to_wstring(static_cast<int32_t>(denominator));
            }
        }
        result.count = static_cast<uint32_t>(count);
        break;
    }
    default: break;
    }
    return result;
}

std::vector<std::wstring> SplitTokens(const std::wstring& text, wchar_t delimiter)
{
    std::vector<std::wstring> tokens;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(delimiter, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) tokens.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

std::wstring ItemKey(uint32_t id)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring hex;
    for (int shift = 28; shift >= 0; shift -= 4) {
        if (!hex.empty() || (id >> shift) != 0 || shift < 16) hex += digits[(id >> shift) & 15];
    }
    return L"0x" + hex;
}

uint16_t TypeFromName(const std::wstring& name)
{
    for (const TypeName& entry : kTypeNames) {
        if (name == entry.name) return entry.type;
    }
    return kUndefined;
}

bool ReadShellInteger(const std::wstring& text, bool hex, int32_t& value)
{
    size_t at = 0;
    while (at < text.size() && std::iswspace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    // The shell's reader keeps the low 64 bits of a long number and returns the low 32.
    uint64_t number = 0;
    if (hex && at + 1 < text.size() && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X')) {
        at += 2;
        if (at >= text.size() || HexDigit(text[at]) < 0) return false;
        for (; at < text.size() && HexDigit(text[at]) >= 0; ++at)
            number = number * 16 + static_cast<uint64_t>(HexDigit(text[at]));
        value = static_cast<int32_t>(static_cast<uint32_t>(number)); // a sign before "0x" is ignored
        return true;
    }
    if (at >= text.size() || text[at] < L'0' || text[at] > L'9') return false;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
        number = number * 10 + static_cast<uint64_t>(text[at] - L'0');
    if (negative) number = 0 - number;
    value = static_cast<int32_t>(static_cast<uint32_t>(number));
    return true;
}

bool ParseItemValue(const std::wstring& text, uint16_t type, const TextCodePage& codePage, std::vector<uint8_t>& value)
{
    value.clear();
    switch (type) {
    case 1:
    case 7:
        for (const std::wstring& token : SplitTokens(text, L' ')) {
            int32_t number = 0;
            if (!ReadShellInteger(L"0x" + token, true, number)) number = 0;
            value.push_back(static_cast<uint8_t>(number));
        }
        break;
    case 2: {
        const std::string bytes = WriteAscii(text, codePage);
        value.assign(bytes.begin(), bytes.end());
        value.push_back(0);
        break;
    }
    case 3:
    case 4:
    case 9:
        for (const std::wstring& token : SplitTokens(text, L','))
            PutLittle(value, ReadDecimal(token), type == 3 ? 2 : 4);
        break;
    case 5:
    case 10:
        for (const std::wstring& token : SplitTokens(text, L',')) {
            const size_t slash = token.find(L'/');
            std::wstring numerator = token;
            std::wstring denominator = L"1";
            if (slash != std::wstring::npos && slash > 0) {
                numerator = token.substr(0, slash);
                denominator = token.substr(slash + 1);
            } else if (slash == 0) {
                numerator = token.substr(1);
            }
            PutLittle(value, ReadDecimal(numerator), 4);
            PutLittle(value, ReadDecimal(denominator), 4);
        }
        break;
    default: return false;
    }
    return !value.empty();
}

bool ParseItemValue(const std::wstring& text, uint32_t id, uint16_t type, const TextCodePage& codePage,
                    std::vector<uint8_t>& value)
{
    if (!IsWindowsTextItem(id) || type != kByte) return ParseItemValue(text, type, codePage, value);
    value.clear();
    WriteWindowsText(text, value);
    return true;
}
