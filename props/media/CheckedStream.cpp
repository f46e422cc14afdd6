#include "CheckedStream.h"

#include <algorithm>
#include <vector>

using namespace TagLib;

namespace {

// The most the tail is moved by at a time: large enough to move hundreds of megabytes quickly,
// small enough to cost nothing to hold.
constexpr uint64_t kMovePiece = 1 << 20;

} // namespace

CheckedStream::CheckedStream(FileSave& save, const std::wstring& shownName) : save_(save), name_(shownName) {}

FileName CheckedStream::name() const
{
    return name_.c_str();
}

ByteVector CheckedStream::readBlock(size_t length)
{
    const uint64_t size = Size();
    if (position_ >= size || length == 0) return ByteVector();
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, size - position_));
    ByteVector block(static_cast<unsigned int>(wanted), '\0');
    size_t read = 0;
    if (!save_.ReadAt(position_, block.data(), wanted, &read)) return ByteVector();
    block.resize(static_cast<unsigned int>(read));
    position_ += read;
    return block;
}

void CheckedStream::WriteAt(uint64_t offset, const char* data, size_t count)
{
    if (count == 0) return;
    save_.WriteAt(offset, data, count);
}

void CheckedStream::writeBlock(const ByteVector& data)
{
    WriteAt(position_, data.data(), data.size());
    position_ += data.size();
}

void CheckedStream::Move(uint64_t from, uint64_t to, uint64_t count)
{
    if (from == to || count == 0) return;
    std::vector<char> piece(static_cast<size_t>(std::min(count, kMovePiece)));
    for (uint64_t done = 0; done < count && !save_.Failed();) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(piece.size(), count - done));
        // Moving up, the pieces go from the end, so that the source is read before it is written.
        const uint64_t at = to > from ? count - done - size : done;
        size_t read = 0;
        if (!save_.ReadAt(from + at, piece.data(), size, &read)) return;
        if (read != size) {
            save_.Fail(L"The scratch file ended before its data could be moved");
            return;
        }
        WriteAt(to + at, piece.data(), size);
        done += size;
    }
}

void CheckedStream::insert(const ByteVector& data, offset_t start, size_t replace)
{
    if (start < 0) return;
    const uint64_t at = static_cast<uint64_t>(start);
    const uint64_t size = Size();
    const uint64_t tail = at + replace < size ? size - (at + replace) : 0;
    if (data.size() > replace) {
        Move(at + replace, at + data.size(), tail);
    } else if (data.size() < replace) {
        Move(at + replace, at + data.size(), tail);
        truncate(static_cast<offset_t>(at + data.size() + tail));
    }
    WriteAt(at, data.data(), data.size());
    position_ = at + data.size();
}

void CheckedStream::removeBlock(offset_t start, size_t length)
{
    insert(ByteVector(), start, length);
}

void CheckedStream::seek(offset_t offset, Position p)
{
    const int64_t base = p == Beginning ? 0
                         : p == Current ? static_cast<int64_t>(position_)
                                        : static_cast<int64_t>(Size());
    const int64_t to = base + offset;
    if (to >= 0) position_ = static_cast<uint64_t>(to);
}

void CheckedStream::truncate(offset_t length)
{
    if (length < 0) return;
    save_.Truncate(static_cast<uint64_t>(length));
}
