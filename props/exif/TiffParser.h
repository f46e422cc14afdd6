#pragma once
// Reads a TIFF structure into a TiffDirectory without trusting any of it: every offset and count
// is checked against the block, each directory is read once at most (so pointers that loop end
// the walk), and the number of directories and of recorded ranges is capped, so a crafted block
// costs no more than its size.
#include "TiffDirectory.h"

#include <cstddef>
#include <cstdint>

class TiffParser {
public:
    // False when the bytes have no valid header or IFD0; the directory is then empty.
    static bool Parse(const uint8_t* data, size_t size, TiffDirectory::Chain chain, TiffDirectory& out);
};
