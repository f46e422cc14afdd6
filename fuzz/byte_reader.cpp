// The codecs' byte cursor: random reads, seeks and slices at any offsets and sizes, over a buffer
// taken from the input, never touch a byte outside it (AddressSanitizer watches), and each call
// either succeeds whole or fails changing nothing. The values read are checked against the bytes.
#include "FuzzCheck.h"

#include "core/ByteReader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// An offset or size: mostly near the buffer, sometimes anything up to the top of size_t.
size_t Amount(FuzzedDataProvider& input, size_t size)
{
    if (input.ConsumeBool()) return input.ConsumeIntegral<size_t>();
    return input.ConsumeIntegralInRange<size_t>(0, size + 8);
}

bool Inside(size_t offset, size_t length, size_t size)
{
    return static_cast<unsigned __int128>(offset) + length <= size;
}

uint32_t Expected(const ByteReader& reader, size_t offset, size_t count)
{
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = reader.Data()[offset + (reader.Order() == ByteOrder::Big ? i : count - 1 - i)];
        value = (value << 8) | byte;
    }
    return value;
}

// Reads one value of `count` bytes at the cursor or at `at`, whichever `read` does, and checks it.
template <typename T, typename Read>
void CheckRead(ByteReader& reader, size_t offset, size_t count, bool moves, Read read)
{
    const size_t before = reader.Offset();
    T out = static_cast<T>(0x5A5A5A5A);
    const bool ok = read(out);
    FUZZ_CHECK(ok == Inside(offset, count, reader.Size()));
    if (ok) {
        FUZZ_CHECK(out == static_cast<T>(Expected(reader, offset, count)));
        FUZZ_CHECK(reader.Offset() == (moves ? before + count : before));
    } else {
        FUZZ_CHECK(out == static_cast<T>(0x5A5A5A5A));
        FUZZ_CHECK(reader.Offset() == before);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    // An allocation of exactly the buffer's size, so that a read one past it is caught.
    const std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 512));
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    ByteReader reader(buffer.get(), bytes.size(), input.ConsumeBool() ? ByteOrder::Big : ByteOrder::Little);

    while (input.remaining_bytes() > 0) {
        FUZZ_CHECK(reader.Offset() <= reader.Size());
        FUZZ_CHECK(reader.Remaining() == reader.Size() - reader.Offset());
        const size_t at = reader.Offset();
        switch (input.ConsumeIntegralInRange(0, 11)) {
        case 0: CheckRead<uint8_t>(reader, at, 1, true, [&](uint8_t& out) { return reader.ReadU8(out); }); break;
        case 1: CheckRead<uint16_t>(reader, at, 2, true, [&](uint16_t& out) { return reader.ReadU16(out); }); break;
        case 2: CheckRead<uint32_t>(reader, at, 4, true, [&](uint32_t& out) { return reader.ReadU32(out); }); break;
        case 3: {
            const size_t offset = Amount(input, reader.Size());
            CheckRead<uint8_t>(reader, offset, 1, false, [&](uint8_t& out) { return reader.U8At(offset, out); });
            break;
        }
        case 4: {
            const size_t offset = Amount(input, reader.Size());
            CheckRead<uint16_t>(reader, offset, 2, false, [&](uint16_t& out) { return reader.U16At(offset, out); });
            break;
        }
        case 5: {
            const size_t offset = Amount(input, reader.Size());
            CheckRead<uint32_t>(reader, offset, 4, false, [&](uint32_t& out) { return reader.U32At(offset, out); });
            break;
        }
        case 6: {
            const size_t offset = Amount(input, reader.Size());
            const bool ok = reader.Seek(offset);
            FUZZ_CHECK(ok == (offset <= reader.Size()));
            FUZZ_CHECK(reader.Offset() == (ok ? offset : at));
            break;
        }
        case 7: {
            const size_t count = Amount(input, reader.Size());
            const bool ok = reader.Skip(count);
            FUZZ_CHECK(ok == Inside(at, count, reader.Size()));
            FUZZ_CHECK(reader.Offset() == (ok ? at + count : at));
            break;
        }
        case 8: {
            const size_t count = Amount(input, reader.Size());
            std::vector<uint8_t> out{7};
            const bool ok = reader.ReadBytes(count, out);
            FUZZ_CHECK(ok == Inside(at, count, reader.Size()));
            if (ok)
                FUZZ_CHECK(out == std::vector<uint8_t>(reader.Data() + at, reader.Data() + at + count));
            else
                FUZZ_CHECK(out == std::vector<uint8_t>{7});
            FUZZ_CHECK(reader.Offset() == (ok ? at + count : at));
            break;
        }
        case 9: {
            const size_t count = Amount(input, reader.Size());
            std::string out = "x";
            const bool ok = reader.ReadText(count, out);
            FUZZ_CHECK(ok == Inside(at, count, reader.Size()));
            FUZZ_CHECK(ok ? out.size() == count : out == "x");
            FUZZ_CHECK(reader.Offset() == (ok ? at + count : at));
            break;
        }
        case 10: {
            // The slice becomes the reader: nested views of views.
            const size_t offset = Amount(input, reader.Size());
            const size_t length = Amount(input, reader.Size());
            ByteReader slice;
            const bool ok = reader.Slice(offset, length, slice);
            FUZZ_CHECK(ok == Inside(offset, length, reader.Size()));
            FUZZ_CHECK(reader.Offset() == at);
            if (ok) {
                FUZZ_CHECK(slice.Size() == length && slice.Offset() == 0 && slice.Order() == reader.Order());
                FUZZ_CHECK(length == 0 || slice.Data() == reader.Data() + offset);
                reader = slice;
            }
            break;
        }
        case 11: reader.SetOrder(reader.Order() == ByteOrder::Big ? ByteOrder::Little : ByteOrder::Big); break;
        }
    }
    return 0;
}
