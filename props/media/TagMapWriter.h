#pragma once
// Writing a whole property map to an MP4 or ASF tag. The tag library removes every property the
// map lacks and rebuilds every property it holds from text. Rebuilt from the text a read showed,
// some values would change: several values come back as one concatenated text, and the library
// shows some stored kinds (numbers and flags of ASF attributes) as texts it cannot turn back, or
// as no text at all. So a property whose text is what reading shows for it now keeps its stored
// values exactly; only the properties whose text differs are rebuilt, and those missing removed.
#include <taglib/asftag.h>
#include <taglib/mp4tag.h>
#include <taglib/tpropertymap.h>

void WriteWholeMap(TagLib::MP4::Tag& tag, const TagLib::PropertyMap& values);
void WriteWholeMap(TagLib::ASF::Tag& tag, const TagLib::PropertyMap& values);
