#pragma once
// An image's size in pixels, from its own header (a JPEG's frame header, a PNG's IHDR chunk),
// for the dimension items a new EXIF directory carries.
#include <cstddef>
#include <cstdint>

struct PixelSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// False when the header is not found or gives no size.
bool JpegPixelSize(const uint8_t* data, size_t size, PixelSize& out);
bool PngPixelSize(const uint8_t* data, size_t size, PixelSize& out);
