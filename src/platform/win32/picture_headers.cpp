#include "platform/win32/picture_headers.h"

#include <cstring>

namespace tvx::platform {
namespace {

uint16_t bigEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint16_t littleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t perMetre(uint8_t unit, uint16_t density) {
    if (unit == 1) return (density * 10000u + 127u) / 254u;  // dots per inch
    if (unit == 2) return density * 100u;                    // dots per centimetre
    return 0;
}

}  // namespace

void jpegPixelsPerMetre(const uint8_t* data, size_t size, uint32_t* x, uint32_t* y) {
    *x = 0;
    *y = 0;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return;
    // Walk the marker segments up to the first frame or scan.
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC))
            return;
        const size_t length = bigEndian16(data + at + 2);
        if (length < 2 || at + 2 + length > size) return;
        const uint8_t* body = data + at + 4;
        if (marker == 0xE0 && length >= 2 + 12 && std::memcmp(body, "JFIF", 5) == 0) {
            *x = perMetre(body[7], bigEndian16(body + 8));
            *y = perMetre(body[7], bigEndian16(body + 10));
            return;
        }
        at += 2 + length;
    }
}

bool readGifLayout(const uint8_t* data, size_t size, GifLayout* layout) {
    if (!data || size < 13 || std::memcmp(data, "GIF", 3) != 0) return false;
    GifLayout g;
    g.screenWidth = littleEndian16(data + 6);
    g.screenHeight = littleEndian16(data + 8);
    const uint8_t flags = data[10];
    g.background = data[11];
    g.globalColours = (flags & 0x80) != 0;
    size_t at = 13;
    if (g.globalColours) at += 3u << ((flags & 7) + 1);
    while (at < size) {
        const uint8_t introducer = data[at];
        if (introducer == 0x2C) {
            if (at + 10 > size) return false;
            g.left = littleEndian16(data + at + 1);
            g.top = littleEndian16(data + at + 3);
            g.width = littleEndian16(data + at + 5);
            g.height = littleEndian16(data + at + 7);
            g.localColours = (data[at + 9] & 0x80) != 0;
            *layout = g;
            return true;
        }
        if (introducer != 0x21 || at + 2 > size) return false;
        // Extension: label, then sub-blocks up to an empty one.
        at += 2;
        while (at < size && data[at] != 0) at += 1u + data[at];
        ++at;
    }
    return false;
}

}  // namespace tvx::platform
