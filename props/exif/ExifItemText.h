#pragma once
// EXIF items as the page shows and sends them: each value as text, by the item's type.
// Reading ASCII values goes through a code page that the caller supplies (the thread's ANSI code
// page in the program), so that this stays plain C++ for the tests and the fuzzer.
#include "ExifImage.h"

#include <cstdint>
#include <string>
#include <vector>

class TextCodePage {
public:
    virtual ~TextCodePage() = default;
    virtual std::wstring Decode(const std::string& bytes) const = 0;
    virtual std::string Encode(const std::wstring& text) const = 0;
};

// Each byte is the character of the same number; characters above 255 become '?'.
class Latin1CodePage : public TextCodePage {
public:
    std::wstring Decode(const std::string& bytes) const override;
    std::string Encode(const std::wstring& text) const override;
};

struct ItemValueText {
    std::wstring text;
    uint32_t length = 0;
    uint16_t type = 0;
    uint32_t count = 0;
};

// The item's value as the page shows it; an empty record when the image has no such item.
// Numbers show as their type says: SHORT, LONG and RATIONAL unsigned, SSHORT, SLONG and SRATIONAL
// signed.
ItemValueText FormatItemValue(const ExifImage& image, uint32_t id, const TextCodePage& codePage);
ItemValueText FormatItemValue(const ExifItem& item, const TextCodePage& codePage);

// The value bytes (little-endian) that a text stands for. False when there is nothing to write:
// no tokens, or a type without a text form. A negative number in an unsigned type is stored in
// the type's bits ("-1" as a SHORT is 0xFFFF).
bool ParseItemValue(const std::wstring& text, uint16_t type, const TextCodePage& codePage, std::vector<uint8_t>& value);

// The text cut at each delimiter, empty pieces dropped.
std::vector<std::wstring> SplitTokens(const std::wstring& text, wchar_t delimiter);

// An item's key in the page's list and in the answers: "0x" and at least four upper-case
// hexadecimal digits.
std::wstring ItemKey(uint32_t id);

// The type number of a type name ("Byte", "ASCII", ...); 7 (Undefined) for any other name.
uint16_t TypeFromName(const std::wstring& name);

// An integer as the shell's integer reader takes it: white space, an optional sign, then
// decimal digits or, with `hex`, "0x" and hexadecimal digits; what follows is ignored. False
// when no digit comes.
bool ReadShellInteger(const std::wstring& text, bool hex, int32_t& value);
