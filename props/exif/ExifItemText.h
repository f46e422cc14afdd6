#pragma once
// EXIF items as the page shows and sends them: each value as text, by the item's type, and for
// Windows' own text items by the item. Texts lose nothing: ASCII values are read as UTF-8 where
// their bytes are UTF-8 and in the system's ANSI code page otherwise, and a text is written in
// that code page where it holds the text exactly and as UTF-8 otherwise. The code page is the
// caller's (the thread's ANSI code page in the program), so that this stays plain C++ for the
// tests and the fuzzer.
#include "ExifImage.h"

#include <cstdint>
#include <string>
#include <vector>

class TextCodePage {
public:
    virtual ~TextCodePage() = default;
    // The bytes as text of this code page.
    virtual std::wstring Decode(const std::string& bytes) const = 0;
    // The text as bytes of this code page when the code page holds each of its characters as it
    // is (no near character put for it, no default character), so that Decode gives the text
    // back; false otherwise, with `bytes` left unspecified.
    virtual bool EncodeExact(const std::wstring& text, std::string& bytes) const = 0;
};

// Each byte is the character of the same number; a text with a character above 255 has no form.
class Latin1CodePage : public TextCodePage {
public:
    std::wstring Decode(const std::string& bytes) const override;
    bool EncodeExact(const std::wstring& text, std::string& bytes) const override;
};

struct ItemValueText {
    std::wstring text;
    uint32_t length = 0;
    uint16_t type = 0;
    uint32_t count = 0;
};

// Windows' own text items, XPTitle, XPComment, XPAuthor, XPKeywords and XPSubject (0x9C9B to
// 0x9C9F): UTF-16LE text ending in a zero unit, in a BYTE value.
bool IsWindowsTextItem(uint32_t id);

// The item's value as the page shows it; an empty record when the image has no such item.
// Numbers show as their type says: SHORT, LONG and RATIONAL unsigned, SSHORT, SLONG and SRATIONAL
// signed. A Windows text item of a byte type (BYTE or UNDEFINED) shows as its text, up to its
// zero unit; an unpaired surrogate or a stray last byte shows as U+FFFD. Length and count are the
// value's bytes and numbers, whatever the text.
ItemValueText FormatItemValue(const ExifImage& image, uint32_t id, const TextCodePage& codePage);
ItemValueText FormatItemValue(const ExifItem& item, const TextCodePage& codePage);

// The value bytes (little-endian) that a text stands for, as an item of the type. False when
// there is nothing to write: no tokens, or a type without a text form. A negative number in an
// unsigned type is stored in the type's bits ("-1" as a SHORT is 0xFFFF).
bool ParseItemValue(const std::wstring& text, uint16_t type, const TextCodePage& codePage, std::vector<uint8_t>& value);
// The same for the item `id`: for a Windows text item of type BYTE, the text as UTF-16LE and a
// zero unit; for every other item, as above.
bool ParseItemValue(const std::wstring& text, uint32_t id, uint16_t type, const TextCodePage& codePage,
                    std::vector<uint8_t>& value);

// The text cut at each delimiter, empty pieces dropped.
std::vector<std::wstring> SplitTokens(const std::wstring& text, wchar_t delimiter);

// An item's key in the page's list and in the answers: "0x" and at least four upper-case
// hexadecimal digits.
std::wstring ItemKey(uint32_t id);

// The type number of a type name ("Byte", "ASCII", ...); 7 (Undefined) for any other name.
// "Unicode", the page's name for the type of Windows' text items, is BYTE (1).
uint16_t TypeFromName(const std::wstring& name);

// An integer as the shell's integer reader takes it: white space, an optional sign, then
// decimal digits or, with `hex`, "0x" and hexadecimal digits; what follows is ignored. False
// when no digit comes.
bool ReadShellInteger(const std::wstring& text, bool hex, int32_t& value);
