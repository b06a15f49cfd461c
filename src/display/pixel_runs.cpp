#include "display/pixel_runs.h"

#include "base/result_codes.h"

namespace tvx {

int32_t paintRuns(const PaintTarget& t, uint32_t x, uint32_t y, const uint8_t* encoded, uint32_t length) {
    // 64-bit arithmetic throughout: rows and columns come from the wire and
    // their products overflow 32 bits.
    const uint64_t total = static_cast<uint64_t>(t.width) * t.height;
    uint64_t col = x;
    uint64_t row = y;
    for (uint32_t at = 0; at + kRunBytes <= length; at += kRunBytes) {
        uint16_t colour = static_cast<uint16_t>(encoded[at] | (encoded[at + 1] << 8));
        if (t.convert555) colour = rgb555To565(colour);
        const uint32_t count = static_cast<uint32_t>(encoded[at + 2]) + 1;
        const uint64_t start = row * t.width + col;
        if (start > total || total - start < count) return rc::replyLength;
        uint16_t* p = t.pixels + start;
        for (uint32_t i = 0; i < count; ++i) p[i] = colour;
        col += count;
        if (col >= t.rightEdge) {
            col = t.leftEdge;
            ++row;
        }
    }
    return rc::ok;
}

int32_t paintRegionChunk(const PaintTarget& t, uint32_t regionTop, uint32_t position, const uint8_t* encoded,
                         uint32_t length) {
    uint32_t x = position & 0xFFFFu;
    uint32_t y = position >> 16;
    if (x < t.leftEdge) {
        x = t.leftEdge;
    } else if (x >= t.rightEdge) {
        x = t.leftEdge;
        ++y;
    }
    if (y < regionTop) y = regionTop;
    return paintRuns(t, x, y, encoded, length);
}

int32_t paintImageChunk(const PaintTarget& t, uint32_t position, const uint8_t* encoded, uint32_t length) {
    uint32_t x = position & 0xFFFFu;
    uint32_t y = position >> 16;
    if (x >= t.width) {
        x = 0;
        ++y;
    }
    if (y >= t.height) return rc::replyLength;
    return paintRuns(t, x, y, encoded, length);
}

}  // namespace tvx
