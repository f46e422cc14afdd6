#include "BasicFields.h"

#include <climits>

using namespace TagLib;

namespace {

struct TextField {
    const char* key;
    String (Tag::*get)() const;
    void (Tag::*set)(const String&);
};

constexpr TextField kTextFields[] = {
    {"TITLE", &Tag::title, &Tag::setTitle}, {"ARTIST", &Tag::artist, &Tag::setArtist},
    {"ALBUM", &Tag::album, &Tag::setAlbum}, {"COMMENT", &Tag::comment, &Tag::setComment},
    {"GENRE", &Tag::genre, &Tag::setGenre},
};

struct NumberField {
    const char* key;
    unsigned int (Tag::*get)() const;
    void (Tag::*set)(unsigned int);
};

constexpr NumberField kNumberFields[] = {
    {"DATE", &Tag::year, &Tag::setYear},
    {"TRACKNUMBER", &Tag::track, &Tag::setTrack},
};

// The key's first value, or empty text when the key is missing.
String ValueOf(const PropertyMap& values, const char* key)
{
    const PropertyMap::ConstIterator found = values.find(key);
    return found == values.end() || found->second.isEmpty() ? String() : found->second.front();
}

// The number a text spells when the whole text is decimal digits, after at most one leading minus
// sign, and the number fits an int; 0 for any other text.
int DecimalOrZero(const String& text)
{
    const std::wstring digits = text.toWString();
    size_t at = 0;
    const bool negative = !digits.empty() && digits[0] == L'-';
    if (negative) at = 1;
    if (at == digits.size()) return 0;
    long long value = 0;
    for (; at < digits.size(); ++at) {
        const wchar_t c = digits[at];
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + (c - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) return 0;
    }
    if (negative) value = -value;
    return value < INT_MIN || value > INT_MAX ? 0 : static_cast<int>(value);
}

} // namespace

PropertyMap BasicFieldsOf(const Tag& tag)
{
    PropertyMap map;
    for (const TextField& field : kTextFields) {
        const String value = (tag.*field.get)();
        if (!value.isEmpty()) map.replace(field.key, value);
    }
    for (const NumberField& field : kNumberFields) {
        // The library keeps these as unsigned; a negative number written as text comes back as
        // its two's complement, which reads again as the same text.
        const unsigned int value = (tag.*field.get)();
        if (value != 0) map.replace(field.key, String::number(static_cast<int>(value)));
    }
    return map;
}

void SetBasicFields(Tag& tag, const PropertyMap& values)
{
    for (const TextField& field : kTextFields) {
        const String wanted = ValueOf(values, field.key);
        if ((tag.*field.get)() != wanted) (tag.*field.set)(wanted);
    }
    for (const NumberField& field : kNumberFields) {
        const unsigned int wanted = static_cast<unsigned int>(DecimalOrZero(ValueOf(values, field.key)));
        if ((tag.*field.get)() != wanted) (tag.*field.set)(wanted);
    }
}
