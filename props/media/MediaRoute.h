#pragma once
// How a file's tags are reached, chosen by the last four characters of its name.
#include <string_view>

enum class MediaRoute {
    Id3v2Frames, // ".mp3": the frames of the ID3v2 tag, named by their identifiers
    Mp4Map,      // the MP4 family: the tag's property map
    AsfMap,      // the ASF family: the tag's property map
    TagMap,      // any other name: the property map of the kind the file's content and name show
};

// The route of a file name: its last four characters (the whole name when shorter) compared with
// the known endings without regard to the case of ASCII letters.
MediaRoute MediaRouteOf(std::wstring_view fileName);
