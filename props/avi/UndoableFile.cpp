#include "UndoableFile.h"

#include "props/avi/AviStatus.h"

#include <algorithm>
#include <new>

int32_t UndoableFile::KnowLength()
{
    if (lengthKnown_) return AviStatus::Ok;
    const int32_t status = file_.Size(length_);
    if (!AviStatus::Failed(status)) lengthKnown_ = true;
    return status;
}

int32_t UndoableFile::ReadAt(uint64_t offset, uint8_t* data, size_t count)
{
    return file_.ReadAt(offset, data, count);
}

int32_t UndoableFile::Size(uint64_t& size)
{
    return file_.Size(size);
}

int32_t UndoableFile::WriteAt(uint64_t offset, const uint8_t* data, size_t count)
{
    int32_t status = KnowLength();
    if (AviStatus::Failed(status)) return status;
    // Only what lay inside the old length has bytes to put back; the rest goes with the cut.
    if (offset < length_ && count > 0) {
        const uint64_t end = std::min<uint64_t>(length_, offset + count);
        try {
            Kept kept{offset, std::vector<uint8_t>(static_cast<size_t>(end - offset))};
            status = file_.ReadAt(offset, kept.bytes.data(), kept.bytes.size());
            if (AviStatus::Failed(status)) return status;
            kept_.push_back(std::move(kept));
        } catch (const std::bad_alloc&) {
            return AviStatus::Memory;
        }
    }
    return file_.WriteAt(offset, data, count);
}

int32_t UndoableFile::SetSize(uint64_t size)
{
    const int32_t status = KnowLength();
    if (AviStatus::Failed(status)) return status;
    // A cut loses bytes that Undo would need: keep them first.
    if (size < length_) {
        try {
            Kept kept{size, std::vector<uint8_t>(static_cast<size_t>(length_ - size))};
            const int32_t read = file_.ReadAt(size, kept.bytes.data(), kept.bytes.size());
            if (AviStatus::Failed(read)) return read;
            kept_.push_back(std::move(kept));
        } catch (const std::bad_alloc&) {
            return AviStatus::Memory;
        }
    }
    return file_.SetSize(size);
}

int32_t UndoableFile::Undo()
{
    int32_t first = AviStatus::Ok;
    const auto note = [&first](int32_t status) {
        if (!AviStatus::Failed(first)) first = status;
    };
    if (lengthKnown_) {
        uint64_t now = 0;
        if (!AviStatus::Failed(file_.Size(now)) && now < length_) note(file_.SetSize(length_));
    }
    for (auto kept = kept_.rbegin(); kept != kept_.rend(); ++kept)
        note(file_.WriteAt(kept->offset, kept->bytes.data(), kept->bytes.size()));
    if (lengthKnown_) note(file_.SetSize(length_));
    note(file_.Flush());
    kept_.clear();
    return first;
}
