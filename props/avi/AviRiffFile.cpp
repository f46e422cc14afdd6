#include "AviRiffFile.h"

#include "props/avi/AviStatus.h"

#include <algorithm>
#include <new>

namespace {

constexpr uint32_t FourCC(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kAvi = FourCC("AVI ");
constexpr uint32_t kList = FourCC("LIST");
constexpr uint32_t kInfo = FourCC("INFO");
constexpr uint32_t kJunk = FourCC("JUNK");
constexpr uint32_t kHdrl = FourCC("hdrl");
constexpr uint32_t kMovi = FourCC("movi");
constexpr uint64_t kMaxChunkSize = 0xFFFFFFFFu;
constexpr uint64_t kHeaderSize = 8;

uint32_t U32(const uint8_t* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The LIST chunk holding the content, with its pad byte.
std::vector<uint8_t> ListChunk(const std::vector<uint8_t>& content)
{
    std::vector<uint8_t> chunk;
    chunk.reserve(content.size() + 9);
    PutU32(chunk, kList);
    PutU32(chunk, static_cast<uint32_t>(content.size()));
    chunk.insert(chunk.end(), content.begin(), content.end());
    if (content.size() % 2 != 0) chunk.push_back(0);
    return chunk;
}

} // namespace

struct AviRiffFile::Run {
    size_t first = 0; // indexes into chunks_
    size_t last = 0;
    uint64_t offset = 0;
    uint64_t end = 0;
    bool hasInfo = false;

    uint64_t Length() const { return end - offset; }
    bool Holds(size_t index) const { return index >= first && index <= last; }
    // The list fills the run exactly, or leaves room for a JUNK chunk's header.
    bool Fits(uint64_t length) const { return length == Length() || length + kHeaderSize <= Length(); }
};

bool AviRiffFile::Chunk::IsInfoList() const
{
    return id == kList && listType == kInfo;
}

bool AviRiffFile::Chunk::IsJunk() const
{
    return id == kJunk;
}

int32_t AviRiffFile::ReadHeader(uint64_t offset, Chunk& chunk)
{
    uint8_t bytes[12];
    const bool withType = offset + sizeof bytes <= riffEnd_;
    const int32_t status = file_.ReadAt(offset, bytes, withType ? sizeof bytes : kHeaderSize);
    if (AviStatus::Failed(status)) return status;
    chunk.id = U32(bytes);
    chunk.size = U32(bytes + 4);
    chunk.offset = offset;
    chunk.listType = chunk.id == kList && chunk.size >= 4 && withType ? U32(bytes + 8) : 0;
    return AviStatus::Ok;
}

int32_t AviRiffFile::Open(Mode mode)
{
    open_ = false;
    mode_ = mode;
    chunks_.clear();
    int32_t status = file_.Size(fileSize_);
    if (AviStatus::Failed(status)) return status;
    uint8_t header[12];
    if (fileSize_ < sizeof header) return AviStatus::BadFormat;
    status = file_.ReadAt(0, header, sizeof header);
    if (AviStatus::Failed(status)) return status;
    if (U32(header) != kRiff || U32(header + 8) != kAvi) return AviStatus::BadFormat;

    const uint32_t riffSize = U32(header + 4);
    riffEnd_ = kHeaderSize + riffSize;
    if (riffSize < 4 || riffEnd_ > fileSize_) {
        // A file cut short, or one whose writer never came back to set the size.
        if (mode == Mode::Write) return AviStatus::BadFormat;
        riffEnd_ = fileSize_;
    }

    uint64_t at = sizeof header;
    while (at + kHeaderSize <= riffEnd_) {
        if (chunks_.size() >= kMaxChunks) {
            if (mode == Mode::Write) return AviStatus::BadFormat;
            break;
        }
        Chunk chunk;
        status = ReadHeader(at, chunk);
        if (AviStatus::Failed(status)) return status;
        if (at + kHeaderSize + chunk.size > riffEnd_) {
            if (mode == Mode::Write) return AviStatus::BadFormat;
            break;
        }
        chunks_.push_back(chunk);
        at = chunk.End();
        if (mode == Mode::Read && chunk.IsInfoList()) break;
    }
    walkEnd_ = at;
    tailIsLeftover_ = false;
    if (mode == Mode::Write) {
        status = JudgeTail();
        if (AviStatus::Failed(status)) return status;
    }
    open_ = true;
    return AviStatus::Ok;
}

int32_t AviRiffFile::JudgeTail()
{
    // A store appends by lengthening the file, writing the list past the RIFF and only then taking
    // it in with the RIFF size; a process stopped in between leaves the tail alone. Anything else
    // after the RIFF (an OpenDML continuation, another program's data) stays untouched.
    constexpr uint64_t kLargestLeftover = 64u << 20;
    const uint64_t start = std::max(riffEnd_, walkEnd_);
    if (fileSize_ <= start || fileSize_ - start > kLargestLeftover) return AviStatus::Ok;
    uint8_t head[12] = {};
    const size_t headSize = static_cast<size_t>(std::min<uint64_t>(sizeof head, fileSize_ - start));
    int32_t status = file_.ReadAt(start, head, headSize);
    if (AviStatus::Failed(status)) return status;
    if (headSize == sizeof head && U32(head) == kList && U32(head + 8) == kInfo) {
        tailIsLeftover_ = true;
        return AviStatus::Ok;
    }
    uint8_t piece[65536];
    for (uint64_t at = start; at < fileSize_;) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(sizeof piece, fileSize_ - at));
        status = file_.ReadAt(at, piece, size);
        if (AviStatus::Failed(status)) return status;
        if (std::any_of(piece, piece + size, [](uint8_t b) { return b != 0; })) return AviStatus::Ok;
        at += size;
    }
    tailIsLeftover_ = true;
    return AviStatus::Ok;
}

int32_t AviRiffFile::ReadInfoList(std::vector<uint8_t>& content, size_t limit)
{
    if (!open_) return AviStatus::BadFormat;
    for (const Chunk& chunk : chunks_) {
        if (!chunk.IsInfoList()) continue;
        const size_t count = std::min<uint64_t>(chunk.size, limit);
        try {
            content.assign(count, 0);
        } catch (const std::bad_alloc&) {
            return AviStatus::Memory;
        }
        return file_.ReadAt(chunk.offset + kHeaderSize, content.data(), count);
    }
    return AviStatus::NoData;
}

std::vector<AviRiffFile::Run> AviRiffFile::Runs() const
{
    std::vector<Run> runs;
    for (size_t i = 0; i < chunks_.size(); ++i) {
        const Chunk& chunk = chunks_[i];
        if (!chunk.IsInfoList() && !chunk.IsJunk()) continue;
        if (runs.empty() || runs.back().last + 1 != i) {
            Run run;
            run.first = i;
            run.offset = chunk.offset;
            runs.push_back(run);
        }
        runs.back().last = i;
        runs.back().end = chunk.End();
        runs.back().hasInfo = runs.back().hasInfo || chunk.IsInfoList();
    }
    return runs;
}

int32_t AviRiffFile::WriteZeros(uint64_t offset, uint64_t count)
{
    static const uint8_t zeros[65536] = {};
    while (count > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, sizeof zeros));
        const int32_t status = file_.WriteAt(offset, zeros, piece);
        if (AviStatus::Failed(status)) return status;
        offset += piece;
        count -= piece;
    }
    return AviStatus::Ok;
}

int32_t AviRiffFile::WriteRiffSize(uint64_t fileSize)
{
    std::vector<uint8_t> size;
    PutU32(size, static_cast<uint32_t>(fileSize - kHeaderSize));
    return file_.WriteAt(4, size.data(), size.size());
}

int32_t AviRiffFile::StoreInfoList(const std::vector<uint8_t>& content)
{
    if (!open_ || mode_ != Mode::Write) return AviStatus::BadFormat;
    if (!content.empty() && (content.size() < 4 || content.size() >= kMaxChunkSize)) return AviStatus::BadSize;
    std::vector<uint8_t> list;
    try {
        if (!content.empty()) list = ListChunk(content);
    } catch (const std::bad_alloc&) {
        return AviStatus::Memory;
    }
    const uint64_t length = list.size();

    const std::vector<Run> runs = Runs();
    const bool appendable = !FollowedByMore();
    const bool lastIsRun = !runs.empty() && runs.back().last + 1 == chunks_.size();
    uint64_t headerStart = 0;
    uint64_t moviStart = UINT64_MAX;
    for (const Chunk& chunk : chunks_) {
        if (chunk.id != kList) continue;
        if (chunk.listType == kHdrl && headerStart == 0) headerStart = chunk.End();
        if (chunk.listType == kMovi) {
            moviStart = chunk.offset;
            break;
        }
    }
    const Run* infoRun = nullptr;
    for (const Run& run : runs) {
        if (run.hasInfo) {
            infoRun = &run;
            break;
        }
    }
    // A run whose last pad byte lies past the RIFF's size cannot take a JUNK chunk that ends there.
    const auto takes = [&](const Run& run) { return run.end <= riffEnd_ && run.Fits(length); };

    // Where the list goes: into a run (rewritten in place), or at the end of the file from endAt.
    // A removal only turns the lists into JUNK.
    const Run* target = nullptr;
    bool atEnd = false;
    uint64_t endAt = 0;
    if (length > 0) {
        if (infoRun != nullptr && takes(*infoRun)) target = infoRun;
        for (const Run& run : runs) {
            if (target != nullptr) break;
            if (run.offset >= headerStart && run.end <= moviStart && takes(run)) target = &run;
        }
        if (target == nullptr && appendable) {
            // From the start of a run that ends the file, so that no JUNK stays between the index
            // and the list, where some readers stop looking.
            atEnd = true;
            if (lastIsRun) target = &runs.back();
            endAt = lastIsRun ? runs.back().offset : walkEnd_;
        }
        if (target == nullptr && !atEnd) return AviStatus::Unsupported;
    }
    int32_t status = AviStatus::Ok;
    if (atEnd) {
        const uint64_t newSize = endAt + length;
        if (newSize - kHeaderSize > kMaxChunkSize) return AviStatus::Unsupported;
        if (newSize > fileSize_) status = file_.SetSize(newSize);
        if (!AviStatus::Failed(status)) status = file_.WriteAt(endAt, list.data(), list.size());
        // The list is on the disk before the size that takes it into the RIFF says so.
        if (!AviStatus::Failed(status)) status = file_.Flush();
        if (!AviStatus::Failed(status)) status = WriteRiffSize(newSize);
        if (!AviStatus::Failed(status) && newSize < fileSize_) status = file_.SetSize(newSize);
    } else if (target != nullptr) {
        // The list, then one JUNK chunk over the rest of the run; the old lists' bytes that the
        // new chunks do not cover are zeroed, so that no old text stays behind in the JUNK.
        const uint64_t rest = target->Length() - length;
        if (rest > 0) {
            PutU32(list, kJunk);
            PutU32(list, static_cast<uint32_t>(rest - kHeaderSize));
        }
        status = file_.WriteAt(target->offset, list.data(), list.size());
        const uint64_t written = target->offset + list.size();
        for (size_t i = target->first; i <= target->last && !AviStatus::Failed(status); ++i) {
            const Chunk& chunk = chunks_[i];
            const uint64_t from = std::max(chunk.offset, written);
            const uint64_t to = chunk.offset + kHeaderSize + chunk.size;
            if (chunk.IsInfoList() && from < to) status = WriteZeros(from, to - from);
        }
    }

    // Every other INFO list becomes JUNK, after the new list is in place.
    static const uint8_t junk[4] = {'J', 'U', 'N', 'K'};
    for (size_t i = 0; i < chunks_.size() && !AviStatus::Failed(status); ++i) {
        const Chunk& chunk = chunks_[i];
        if (!chunk.IsInfoList() || (target != nullptr && target->Holds(i))) continue;
        status = file_.WriteAt(chunk.offset, junk, sizeof junk);
        if (!AviStatus::Failed(status)) status = WriteZeros(chunk.offset + kHeaderSize, chunk.size);
    }
    if (AviStatus::Failed(status)) return status;
    return Verify(content);
}

int32_t AviRiffFile::Verify(const std::vector<uint8_t>& content)
{
    int32_t status = Open(Mode::Write);
    if (AviStatus::Failed(status)) return status;
    std::vector<uint8_t> stored;
    status = ReadInfoList(stored);
    if (content.empty()) return status == AviStatus::NoData ? AviStatus::Ok : AviStatus::FileWrite;
    if (AviStatus::Failed(status)) return status;
    return stored == content ? AviStatus::Ok : AviStatus::FileWrite;
}
