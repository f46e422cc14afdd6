#pragma once
// The AVI file as the INFO handler needs it: open for reading or writing, read the file-level
// INFO list, store a new one, on the RIFF chunk structure of the file and nothing else.
//
// Nothing a file says about sizes is trusted: every chunk must lie inside its parent, and only
// the top level of the first RIFF is walked, at most kMaxChunks chunks. Reading is lenient with a
// file cut short (the chunks before the first one that does not fit are used); writing needs the
// whole first RIFF intact and decides where the list goes before it changes a byte.
//
// Storing never moves the movie data, so an OpenDML file (more RIFF chunks after the first, past
// 1 GB) is written in place like any other. The new list goes, in this order of preference:
//  1. into the room of the old list and the JUNK chunks around it, when it fits there (what is
//     left becomes one JUNK chunk);
//  2. into another run of JUNK between the header list and the movie data, when it fits there;
//  3. at the end of the first RIFF when nothing follows it in the file, from the start of the
//     JUNK and INFO chunks that end it, with the RIFF size brought up to date.
// Otherwise the store fails and the file is left as it was. Every other file-level INFO list
// becomes JUNK with its bytes zeroed, so that readers see the new items only and no old text
// stays behind; removing the list does only that. The result is read back before it is reported.
#include "props/avi/RandomAccessFile.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

class AviRiffFile {
public:
    enum class Mode { Read, Write };

    struct Chunk {
        uint32_t id = 0;
        uint32_t listType = 0; // of a LIST chunk; 0 for others
        uint64_t offset = 0;   // of the chunk's header
        uint32_t size = 0;     // of its data, as its header gives it
        // Where the next chunk starts: after the data and the pad byte of an odd size.
        uint64_t End() const { return offset + 8 + size + (size & 1); }
        bool IsInfoList() const;
        bool IsJunk() const;
    };

    static constexpr size_t kMaxChunks = 100000;

    explicit AviRiffFile(RandomAccessFile& file) : file_(file) {}

    // Walks the top level of the first RIFF; BadFormat when the file is not an AVI file or (for
    // writing) a chunk does not fit.
    int32_t Open(Mode mode);

    // The data of the first file-level INFO list (list type first), at most limit bytes; NoData
    // when the file has none.
    int32_t ReadInfoList(std::vector<uint8_t>& content, size_t limit = std::numeric_limits<size_t>::max());

    // Makes content (list type first) the file's one INFO list; empty content removes every one.
    int32_t StoreInfoList(const std::vector<uint8_t>& content);

    // What the walk found: the top-level chunks of the first RIFF (for reading, up to the first
    // INFO list), and whether anything follows that RIFF in the file.
    const std::vector<Chunk>& Chunks() const { return chunks_; }
    bool FollowedByMore() const { return !tailIsLeftover_ && fileSize_ > (riffEnd_ > walkEnd_ ? riffEnd_ : walkEnd_); }

private:
    struct Run; // consecutive INFO lists and JUNK chunks
    std::vector<Run> Runs() const;
    int32_t ReadHeader(uint64_t offset, Chunk& chunk);
    int32_t WriteZeros(uint64_t offset, uint64_t count);
    int32_t WriteRiffSize(uint64_t fileSize);
    int32_t Verify(const std::vector<uint8_t>& content);
    int32_t JudgeTail();

    RandomAccessFile& file_;
    Mode mode_ = Mode::Read;
    bool open_ = false;
    uint64_t fileSize_ = 0;
    uint64_t riffEnd_ = 0; // end of the first RIFF's data, as far as it is used
    uint64_t walkEnd_ = 0; // where the walk stopped: the end of the last chunk
    // What follows the RIFF is what a store stopped half way left there (zeros, or the start of an
    // INFO list it was appending), which the next store may take back.
    bool tailIsLeftover_ = false;
    std::vector<Chunk> chunks_;
};
