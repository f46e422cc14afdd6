#pragma once
// What the media tests check a written file with: mutagen's reading of its tags (through
// tests/readers/mutagen_dump.py) and ffmpeg's digest of its audio packets, both readers that are
// not ours. A test skips when a reader is not installed.
#include "tests/support/Fixture.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using TagValues = std::map<std::wstring, std::vector<std::wstring>>;

struct MutagenView {
    bool found = false;
    std::string missing;
    std::wstring type;    // "MP3", "MP4", "ASF", "FLAC", "OggVorbis"
    std::wstring version; // the ID3 version of an MP3, such as "2.3.0"
    std::wstring length;  // the audio's length as mutagen measures it, printed
    TagValues tags;       // mutagen's key -> the values
};

MutagenView ReadWithMutagen(const std::wstring& path);

// ffmpeg's MD5 of the file's audio packets as stored (copied, not decoded): the same digest before
// and after a write shows that the audio data were not touched. Empty with `missing` set when
// ffmpeg is not installed.
std::string AudioDigest(const std::wstring& path, std::string& missing);

// The value of one of the file's tags as ffprobe reads it; empty when there is none.
std::wstring ProbedTag(const std::wstring& path, const std::wstring& key);

// The tags with the changes applied: a key with values is set, a key with none is removed.
using TagChange = std::pair<std::wstring, std::optional<std::vector<std::wstring>>>;
TagValues Changed(TagValues tags, const std::vector<TagChange>& changes);

// The tags as one text per key, for failure messages.
std::string Describe(const TagValues& tags);
