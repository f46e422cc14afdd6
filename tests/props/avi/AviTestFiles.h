#pragma once
// AVI files in the handler's tests: their chunks walked with code of the tests' own (not the
// handler's layer), what a write of the INFO list must leave as it was, the readers that check a
// write (ffprobe decodes every frame, exiftool lists the INFO items), and a sparse OpenDML file
// past 1 GB made from a fixture's header and frames.
#include "tests/support/Fixture.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Little-endian bytes of a 32-bit number, and a whole chunk: identifier, size, data and the pad
// byte after odd data.
std::string Le32(uint32_t value);
std::string Chunk(const std::string& id, const std::string& data);

uint64_t FileSize(const std::wstring& path);
// count bytes from offset; fewer when the file ends first.
std::string ReadRange(const std::wstring& path, uint64_t offset, size_t count);

struct TopChunk {
    std::string id;
    std::string listType; // of a LIST chunk
    uint64_t offset = 0;
    uint32_t size = 0;
    uint64_t End() const { return offset + 8 + size + (size & 1); }
    bool IsInfoList() const { return id == "LIST" && listType == "INFO"; }
};

// The top level of the first RIFF; `problem` says what is wrong when the file does not walk.
struct AviLayout {
    std::string problem;
    uint64_t fileSize = 0;
    uint64_t riffEnd = 0; // 8 + the RIFF size
    std::vector<TopChunk> chunks;
    int InfoLists() const;
};
AviLayout WalkAvi(const std::wstring& path);

// (identifier, UTF-8 text) in file order.
using InfoItems = std::vector<std::pair<std::string, std::string>>;

// ffprobe and exiftool can run here; else why not.
bool ReadersPresent(std::string& missing);

// The frames ffprobe decodes, one count per stream; a decoding error fails the test.
std::string DecodedFrames(const std::wstring& path);
// The INFO items exiftool reads.
InfoItems ExifToolInfo(const std::wstring& path);

// What a file is before a write of its INFO list, for ExpectWritten to compare with: the bytes of
// its RIFF header's identifiers, of every top-level chunk but INFO lists and JUNK, and of all that
// follows the first RIFF (of a piece larger than 16 MB, its first and last 64 KB, since the large
// test file is mostly a hole), and the frames ffprobe decodes.
struct AviBefore {
    std::vector<std::pair<uint64_t, std::string>> kept;
    std::string frames;
};
AviBefore Capture(const std::wstring& path);

// The checks after every write: the file walks, holds exactly one INFO list (none when `items` is
// empty), has kept every byte it must keep at its place, decodes the same frames without an
// error, and exiftool reads exactly `items`.
void ExpectWritten(const std::wstring& path, const AviBefore& before, const InfoItems& items);

// Makes an OpenDML file past 1 GB from avi/plain.avi's header and frames: the first RIFF holds
// the header, an INFO list (INAM "Big", IART "Anna") with 1016 bytes of JUNK after it, the first
// frame and a JUNK chunk of holeBytes left as a hole, and the index; a RIFF AVIX holds the second
// frame. Only some kilobytes are written.
void MakeSparseOpenDml(const std::wstring& path, uint64_t holeBytes = uint64_t{1100} << 20);
