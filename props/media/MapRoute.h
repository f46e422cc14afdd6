#pragma once
// The tags of every kind the tag library reads but ".mp3", MP4 and ASF by name: Vorbis comments
// (FLAC, Ogg Vorbis, Opus, Speex, Ogg FLAC), APE items (APE, Musepack, WavPack), the ID3v2 tag of
// AIFF, DSF, DSDIFF and TrueAudio, the INFO list and ID3v2 tag of WAV, and the few texts of the
// tracker formats. All of them are read and written through the property map, key by key: a write
// changes the keys it names and nothing else.
#include "core/JsonWrapper.h"
#include "props/media/MediaTags.h"

#include <string>

namespace TagLib {
class IOStream;
}

// Fills result (an object) with one entry per key of the file's property map, as
// AddMapEntry makes it. False, result untouched, when the file is of no kind the library reads.
bool ReadMapTags(TagLib::IOStream& stream, const JsonWrapper& propList, JsonWrapper& result);

// Whether the library reads the file as a kind of its own; false with the reason in words.
bool IsOfMapKind(TagLib::IOStream& stream, std::wstring& why);

// Sets each member's key to its "data" split on "; " (an empty text removes the key) and saves.
// Nothing is saved when a key cannot be held by the format; false then with the reason in words.
bool WriteMapTags(TagLib::IOStream& stream, JsonView request, WrittenTags& written, std::wstring& why);

// The file's reading of the keys in `written`, as WriteMapTags records them.
bool ReadMapTagsBack(TagLib::IOStream& stream, const WrittenTags& written, WrittenTags& found, std::wstring& why);
