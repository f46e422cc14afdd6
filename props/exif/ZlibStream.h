#pragma once
// zlib streams, the form of PNG's compressed text chunks, through the zlib library. Inflating
// hands the output on in small pieces, so that the caller judges a stream as it grows and can stop
// one that claims far more than it will take (a small chunk can inflate to gigabytes).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

enum class InflateResult {
    Done,      // the stream ended, every piece taken
    Refused,   // the caller refused a piece
    Damaged,   // no zlib stream, wrong data or check value, or zlib could not run
    Truncated, // the bytes ended before the stream did
};

// Inflates the zlib stream at the start of the bytes; bytes after its end are not looked at.
InflateResult InflateZlib(const uint8_t* data, size_t size, const std::function<bool(const uint8_t*, size_t)>& take);

// The bytes as a zlib stream at zlib's default level. False when zlib fails (out of memory, or
// bytes too many for one call on this platform's 32-bit sizes).
bool DeflateZlib(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
