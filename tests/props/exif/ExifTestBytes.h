#pragma once
// Item values the EXIF tests build by hand: the fixtures and built blocks are little-endian.
#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes Little32(std::initializer_list<uint32_t> numbers)
{
    Bytes out;
    for (uint32_t number : numbers) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(number >> (8 * i)));
    }
    return out;
}
