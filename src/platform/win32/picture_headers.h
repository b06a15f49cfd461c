// The few header fields of JPEG and GIF files that the Windows imaging
// component does not report the way the picture records need them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

// Resolution from the JFIF marker in pixels per metre; 0 and 0 when the
// file has none or states only an aspect ratio.
void jpegPixelsPerMetre(const uint8_t* data, size_t size, uint32_t* x, uint32_t* y);

struct GifLayout {
    uint32_t screenWidth = 0;
    uint32_t screenHeight = 0;
    uint8_t background = 0;
    bool globalColours = false;
    // The first image of the file.
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool localColours = false;
};

// Reads the logical screen and the first image descriptor; false when the
// file ends or breaks before them.
bool readGifLayout(const uint8_t* data, size_t size, GifLayout* layout);

}  // namespace tvx::platform
