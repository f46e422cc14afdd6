#pragma once
// The basic fields every tag kind offers (title, artist, album, comment, genre, year, track),
// under the property-map names a file shows when its route finds nothing richer (an MP3 file with
// an ID3v1 tag only, a file of another kind under an MP4 or ASF name). They are only read.
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

// TITLE, ARTIST, ALBUM, COMMENT and GENRE when not empty; DATE and TRACKNUMBER in decimal when
// not 0. No other key.
TagLib::PropertyMap BasicFieldsOf(const TagLib::Tag& tag);
