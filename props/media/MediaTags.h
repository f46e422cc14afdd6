#pragma once
// The tags of one open file, read and written by route through the tag library. It works on a
// stream the caller opened, so that the caller decides how the file is reached (read-only for
// reading, a scratch copy for writing) and tests can watch what the library reads. The library is
// never asked for audio properties: tags are all that is read or written here.
#include "core/JsonWrapper.h"
#include "props/media/MediaRoute.h"

namespace TagLib {
class IOStream;
}

// Fills result, made an object first, with one entry per tag value in the order found: a copy of
// the property list's member for the key with "data" appended, or "name", "type" ("String") and
// "data". When the route finds nothing, the basic fields are read instead.
void ReadMediaTags(TagLib::IOStream& stream, MediaRoute route, const JsonWrapper& propList, JsonWrapper& result);

// Writes the request (key -> object whose "data" is the text) by the route's rules; true when the
// library saved the stream. Nothing is saved when a member cannot be written.
bool WriteMediaTags(TagLib::IOStream& stream, MediaRoute route, JsonView request);
