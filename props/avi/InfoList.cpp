#include "InfoList.h"

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

#include <limits>

namespace {

constexpr size_t kListTypeSize = 4;
constexpr size_t kHeaderSize = 8;

std::string UpToZero(const uint8_t* data, size_t size)
{
    size_t length = 0;
    while (length < size && data[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(data), length);
}

// The size field of an item with a text of this length: the text and its zeros, always odd.
size_t StoredSize(size_t textLength)
{
    return textLength + (textLength % 2 == 0 ? 1 : 2);
}

} // namespace

InfoList InfoList::Parse(const uint8_t* data, size_t size)
{
    InfoList list;
    ByteReader reader(data, size);
    if (!reader.Skip(kListTypeSize)) return list;
    uint32_t itemSize = 0;
    while (reader.Remaining() >= kHeaderSize) {
        const size_t at = reader.Offset();
        reader.Skip(4);
        reader.ReadU32(itemSize);
        if (itemSize > reader.Remaining()) break;
        Item item;
        item.id = UpToZero(reader.Data() + at, 4);
        item.text = UpToZero(reader.Data() + reader.Offset(), itemSize);
        item.stored.emplace(reinterpret_cast<const char*>(reader.Data() + reader.Offset()), itemSize);
        // Zero bytes where an identifier belongs are padding, not an item.
        if (!item.id.empty()) list.items.push_back(std::move(item));
        // The pad byte of an odd size may be missing after the last item.
        reader.Skip(itemSize);
        if (itemSize % 2 != 0 && !reader.Skip(1)) break;
    }
    return list;
}

bool InfoList::IsIdentifier(std::string_view id)
{
    if (id.size() != 4) return false;
    for (const char c : id) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

bool InfoList::Build(std::vector<uint8_t>& content) const
{
    // The whole list, with the LIST chunk's own header, must fit a 32-bit size.
    constexpr size_t kLimit = std::numeric_limits<uint32_t>::max() - kHeaderSize - 1;
    size_t total = kListTypeSize;
    for (const Item& item : items) {
        const size_t length = item.stored ? item.stored->size() : item.text.size();
        const size_t size = item.stored ? length : StoredSize(length);
        size_t itemTotal = 0;
        if (length > kLimit || !CheckedAdd(kHeaderSize + 1, size, itemTotal) || !CheckedAdd(total, itemTotal, total) ||
            total > kLimit)
            return false;
    }
    ByteWriter writer;
    writer.PutText("INFO");
    for (const Item& item : items) {
        writer.PutText(item.id);
        if (item.stored) {
            writer.PutU32(static_cast<uint32_t>(item.stored->size()));
            writer.PutText(*item.stored);
            writer.PadTo(2);
            continue;
        }
        const size_t stored = StoredSize(item.text.size());
        writer.PutU32(static_cast<uint32_t>(stored));
        writer.PutText(item.text);
        // The zeros the size counts, then the pad byte that evens the item.
        for (size_t i = item.text.size(); i < stored + 1; ++i)
            writer.PutU8(0);
    }
    content = writer.Take();
    return true;
}
