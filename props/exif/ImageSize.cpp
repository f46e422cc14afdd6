#include "ImageSize.h"

#include "core/ByteReader.h"

bool JpegPixelSize(const uint8_t* data, size_t size, PixelSize& out)
{
    const ByteReader reader(data, size, ByteOrder::Big);
    size_t pos = 2;
    uint8_t byte = 0;
    while (reader.U8At(pos, byte) && byte == 0xFF) {
        uint8_t marker = 0;
        while (reader.U8At(pos + 1, marker) && marker == 0xFF)
            ++pos; // fill bytes
        if (!reader.U8At(pos + 1, marker)) return false;
        pos += 2;
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xDA || marker == 0xD9) return false; // the image data, and no frame before it
        uint16_t length = 0;
        if (!reader.U16At(pos, length) || length < 2) return false;
        // Start-of-frame markers, but not the Huffman, arithmetic-coding and JPEG-extension ones.
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            uint16_t height = 0, width = 0;
            if (!reader.U16At(pos + 3, height) || !reader.U16At(pos + 5, width) || width == 0 || height == 0)
                return false;
            out = {width, height};
            return true;
        }
        pos += length;
    }
    return false;
}
