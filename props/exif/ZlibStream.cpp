#include "ZlibStream.h"

#include <zlib.h>

#include <algorithm>

namespace {

// zlib counts in unsigned int (and deflateBound in unsigned long, 32 bits on Windows).
constexpr size_t kMaxPiece = 1u << 30;
constexpr size_t kOutPiece = 16 * 1024;

} // namespace

InflateResult InflateZlib(const uint8_t* data, size_t size, const std::function<bool(const uint8_t*, size_t)>& take)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return InflateResult::Damaged;
    struct End {
        z_stream& stream;
        ~End() { inflateEnd(&stream); }
    } end{stream};

    uint8_t out[kOutPiece];
    size_t given = 0;
    for (;;) {
        if (stream.avail_in == 0 && given < size) {
            const size_t piece = std::min(size - given, kMaxPiece);
            stream.next_in = const_cast<Bytef*>(data + given);
            stream.avail_in = static_cast<uInt>(piece);
            given += piece;
        }
        stream.next_out = out;
        stream.avail_out = sizeof out;
        const int status = inflate(&stream, Z_NO_FLUSH);
        const size_t produced = sizeof out - stream.avail_out;
        if (produced > 0 && !take(out, produced)) return InflateResult::Refused;
        if (status == Z_STREAM_END) return InflateResult::Done;
        // zlib makes progress on every call that returns Z_OK; Z_BUF_ERROR means it could make none.
        const bool usedUp = stream.avail_in == 0 && given == size;
        if (status == Z_OK) {
            if (produced == 0 && usedUp) return InflateResult::Truncated;
            continue;
        }
        if (status == Z_BUF_ERROR && usedUp) return InflateResult::Truncated;
        return InflateResult::Damaged; // data, dictionary and memory errors
    }
}

bool DeflateZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    out.clear();
    if (size > kMaxPiece) return false;
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
    struct End {
        z_stream& stream;
        ~End() { deflateEnd(&stream); }
    } end{stream};
    out.resize(deflateBound(&stream, static_cast<uLong>(size)));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        out.clear();
        return false;
    }
    out.resize(stream.total_out);
    return true;
}
