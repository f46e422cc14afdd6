#pragma once
// Byte orders of the binary formats the codecs read and write, and checked size arithmetic: a
// size or offset read from a file is never trusted to stay inside its buffer or inside size_t.
#include <cstddef>
#include <limits>

enum class ByteOrder { Little, Big };

// a + b, or false when it would not fit.
inline bool CheckedAdd(size_t a, size_t b, size_t& out)
{
    if (b > std::numeric_limits<size_t>::max() - a) return false;
    out = a + b;
    return true;
}

// a * b, or false when it would not fit.
inline bool CheckedMul(size_t a, size_t b, size_t& out)
{
    if (a != 0 && b > std::numeric_limits<size_t>::max() / a) return false;
    out = a * b;
    return true;
}

// True when [offset, offset + length) lies inside a buffer of the given size; written so that no
// sum can wrap.
inline bool RangeInside(size_t offset, size_t length, size_t size)
{
    return offset <= size && length <= size - offset;
}
