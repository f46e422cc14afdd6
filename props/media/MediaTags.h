#pragma once
// The tags of one open file, read and written by route through the tag library. It works on a
// stream the caller opened, so that the caller decides how the file is reached (read-only for
// reading, a save's scratch file for writing) and tests can watch what the library reads. The
// library is never asked for audio properties, and reads in its fast style, so that a file that
// is not of its name's kind is never searched from end to end: tags are all that is read or
// written here.
#include "core/JsonWrapper.h"
#include "props/media/MediaRoute.h"

#include <string>
#include <utility>
#include <vector>

namespace TagLib {
class IOStream;
}

// Fills result, made an object first, with one entry per tag value in the order found: a copy of
// the property list's member for the key with "data" appended, or "name", "type" ("String") and
// "data". When the route finds nothing, the basic fields are read instead, of the kind the file's
// content shows (module kinds, which have no content check, by name).
void ReadMediaTags(TagLib::IOStream& stream, MediaRoute route, const JsonWrapper& propList, JsonWrapper& result);

// Whether the file holds its route's own structure, so that a write adds tags to a media file and
// never to another one: for ".mp3" an ID3v2 tag or an MPEG frame at its start, for the MP4 and ASF
// routes their container's header, for the others a kind the library knows by name or content.
// False with the reason in words.
bool IsOfRouteKind(TagLib::IOStream& stream, MediaRoute route, std::wstring& why);

// What a write left in the tag, as the route reads it back: key -> its values, for the keys the
// write touched (or the whole set, on the routes that write the whole set).
struct WrittenTags {
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> values;
    bool wholeSet = false;
    unsigned int id3Version = 0; // the ID3v2 version an ".mp3" was saved as
};

// Writes the request (key -> object whose "data" is the text) by the route's rules; true when the
// library saved the stream, with what a reader must find in `written`. Nothing is saved when a
// member cannot be written or the file is not of the route's kind; false then with the reason.
bool WriteMediaTags(TagLib::IOStream& stream, MediaRoute route, JsonView request, WrittenTags& written,
                    std::wstring& why);

// Reads a written file again by its route: true when it holds what `written` says; false with
// the first difference in words.
bool CheckMediaTags(TagLib::IOStream& stream, MediaRoute route, const WrittenTags& written, std::wstring& why);
