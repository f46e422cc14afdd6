#include "AfcpTrailer.h"

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

#include <cstring>

namespace {

constexpr size_t kRecord = AfcpTrailer::kRecordSize;

bool IsSignature(const uint8_t* at)
{
    return std::memcmp(at, "AXS", 3) == 0 && (at[3] == '!' || at[3] == '*');
}

} // namespace

AfcpTrailer AfcpTrailer::Find(const uint8_t* data, size_t size)
{
    AfcpTrailer trailer;
    trailer.data_ = data;
    trailer.size_ = size;
    if (data == nullptr || size < 2 * kRecord || !IsSignature(data + size - kRecord)) return trailer;
    trailer.state_ = State::Unreadable;
    const uint8_t* footer = data + size - kRecord;
    trailer.order_ = footer[3] == '!' ? ByteOrder::Big : ByteOrder::Little;
    const ByteReader reader(data, size, trailer.order_);

    uint32_t start = 0;
    uint16_t entries = 0;
    if (!reader.U32At(size - 8, start) || !reader.U16At(size_t{start} + 6, entries)) return trailer;
    // The header, with the footer's signature, then the directory, all before the footer.
    size_t directoryEnd = 0;
    if (!CheckedAdd(start, kRecord * (size_t{entries} + 1), directoryEnd) || directoryEnd > size - kRecord ||
        std::memcmp(data + start, footer, 4) != 0)
        return trailer;
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = start + kRecord * (i + 1);
        uint32_t length = 0, offset = 0;
        if (!reader.U32At(entry + 4, length) || !reader.U32At(entry + 8, offset)) return trailer;
        if (!RangeInside(offset, length, size)) return trailer;
    }
    trailer.start_ = start;
    trailer.entries_ = entries;
    trailer.state_ = State::Valid;
    return trailer;
}

bool AfcpTrailer::Entry(size_t index, uint32_t& length, uint32_t& offset) const
{
    if (state_ != State::Valid || index >= entries_) return false;
    const ByteReader reader(data_, size_, order_);
    const size_t entry = start_ + kRecord * (index + 1);
    return reader.U32At(entry + 4, length) && reader.U32At(entry + 8, offset);
}

bool AfcpTrailer::Moved(size_t cut, size_t resume, size_t replacement, std::vector<uint8_t>& directory,
                        std::array<uint8_t, 12>& footer) const
{
    if (state_ != State::Valid || cut > resume || start_ < resume) return false;
    const size_t removed = resume - cut;
    // Where an old position lies in the new file; false for one the replaced bytes took.
    const auto moved = [&](size_t position, size_t length, uint32_t& out) {
        size_t now = position;
        if (position >= resume) {
            if (!CheckedAdd(position - removed, replacement, now)) return false;
        } else if (!RangeInside(position, length, cut)) {
            return false;
        }
        if (now > UINT32_MAX) return false;
        out = static_cast<uint32_t>(now);
        return true;
    };

    ByteWriter out(order_);
    out.PutBytes(data_ + start_, DirectoryEnd() - start_);
    for (size_t i = 0; i < entries_; ++i) {
        uint32_t length = 0, offset = 0, now = 0;
        if (!Entry(i, length, offset) || !moved(offset, length, now) || !out.PatchU32(kRecord * (i + 1) + 8, now))
            return false;
    }
    uint32_t header = 0;
    if (!moved(start_, kRecord, header)) return false;
    directory = out.Take();
    ByteWriter end(order_);
    end.PutBytes(data_ + FooterStart(), 4);
    end.PutU32(header);
    end.PutBytes(data_ + FooterStart() + 8, 4);
    std::memcpy(footer.data(), end.Bytes().data(), footer.size());
    return true;
}
