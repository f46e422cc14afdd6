#include "BasicFields.h"

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
