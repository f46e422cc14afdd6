#include "ByteReader.h"

bool ByteReader::Seek(size_t offset)
{
    if (offset > size_) return false;
    offset_ = offset;
    return true;
}

bool ByteReader::Skip(size_t count)
{
    if (!RangeInside(offset_, count, size_)) return false;
    offset_ += count;
    return true;
}

uint32_t ByteReader::Compose(const uint8_t* bytes, size_t count) const
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t index = order_ == ByteOrder::Big ? i : count - 1 - i;
        value = (value << 8) | bytes[index];
    }
    return value;
}

bool ByteReader::U8At(size_t offset, uint8_t& out) const
{
    if (!RangeInside(offset, 1, size_)) return false;
    out = data_[offset];
    return true;
}

bool ByteReader::U16At(size_t offset, uint16_t& out) const
{
    if (!RangeInside(offset, 2, size_)) return false;
    out = static_cast<uint16_t>(Compose(data_ + offset, 2));
    return true;
}

bool ByteReader::U32At(size_t offset, uint32_t& out) const
{
    if (!RangeInside(offset, 4, size_)) return false;
    out = Compose(data_ + offset, 4);
    return true;
}

bool ByteReader::ReadU8(uint8_t& out)
{
    if (!U8At(offset_, out)) return false;
    offset_ += 1;
    return true;
}

bool ByteReader::ReadU16(uint16_t& out)
{
    if (!U16At(offset_, out)) return false;
    offset_ += 2;
    return true;
}

bool ByteReader::ReadU32(uint32_t& out)
{
    if (!U32At(offset_, out)) return false;
    offset_ += 4;
    return true;
}

bool ByteReader::ReadBytes(size_t count, std::vector<uint8_t>& out)
{
    if (!RangeInside(offset_, count, size_)) return false;
    out.assign(data_ + offset_, data_ + offset_ + count);
    offset_ += count;
    return true;
}

bool ByteReader::ReadText(size_t count, std::string& out)
{
    if (!RangeInside(offset_, count, size_)) return false;
    out.assign(reinterpret_cast<const char*>(data_ + offset_), count);
    offset_ += count;
    return true;
}

bool ByteReader::Slice(size_t offset, size_t length, ByteReader& out) const
{
    if (!RangeInside(offset, length, size_)) return false;
    out = ByteReader(data_ + offset, length, order_);
    return true;
}
