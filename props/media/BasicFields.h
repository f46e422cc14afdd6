#pragma once
// The basic fields every tag kind offers (title, artist, album, comment, genre, year, track),
// under the property-map names a file shows when its route finds nothing richer.
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

// TITLE, ARTIST, ALBUM, COMMENT and GENRE when not empty; DATE and TRACKNUMBER in decimal when
// not 0. No other key.
TagLib::PropertyMap BasicFieldsOf(const TagLib::Tag& tag);

// Sets every basic field from the values: a text field to the key's value, or empty text when the
// key is missing; DATE and TRACKNUMBER to the key's decimal number, or 0 when the key is missing or
// its text is not one. A field that already reads as the wanted value is left as it is, so that
// sending back what was read keeps what the field held (several values, a full date).
void SetBasicFields(TagLib::Tag& tag, const TagLib::PropertyMap& values);
