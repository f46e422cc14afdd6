#pragma once
// A JPEG's size in pixels, from its frame header, for the dimension items a new EXIF directory
// of a JPEG carries.
#include <cstddef>
#include <cstdint>

struct PixelSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// False when the frame header is not found before the image data or gives no size.
bool JpegPixelSize(const uint8_t* data, size_t size, PixelSize& out);
