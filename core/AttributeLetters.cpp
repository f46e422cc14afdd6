#include "AttributeLetters.h"

namespace {

struct AttributeLetter {
    wchar_t letter;
    uint32_t bit;
};

// The order of this table is the order of the letters in every text.
constexpr AttributeLetter kAttributeLetters[] = {
    {L'R', 0x1},   {L'D', 0x10},  {L'H', 0x2},    {L'S', 0x4},    {L'A', 0x20}, {L'O', 0x1000},
    {L'T', 0x100}, {L'C', 0x800}, {L'E', 0x4000}, {L'I', 0x2000}, {L'N', 0x80},
};

} // namespace

std::wstring AttributesToLetters(uint32_t attributes)
{
    std::wstring letters;
    for (const auto& entry : kAttributeLetters) {
        if (attributes & entry.bit) letters += entry.letter;
    }
    return letters;
}

uint32_t LettersToAttributes(const std::wstring& letters)
{
    uint32_t attributes = 0;
    for (const auto& entry : kAttributeLetters) {
        if (letters.find(entry.letter) != std::wstring::npos) attributes |= entry.bit;
    }
    return attributes;
}
