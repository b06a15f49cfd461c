// A small picture file made in memory, for tests and benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/bytes.h"

namespace tvx::testing {

// An uncompressed 24-bit BMP of w x h pixels.
inline std::vector<uint8_t> makeBmp24(uint32_t w, uint32_t h) {
    const uint32_t stride = (w * 3 + 3) & ~3u;
    std::vector<uint8_t> f(54 + stride * h, 0);
    f[0] = 'B';
    f[1] = 'M';
    putU32(f.data() + 2, static_cast<uint32_t>(f.size()));
    putU32(f.data() + 10, 54);
    putU32(f.data() + 14, 40);
    putU32(f.data() + 18, w);
    putU32(f.data() + 22, h);
    putU16(f.data() + 26, 1);
    putU16(f.data() + 28, 24);
    putU32(f.data() + 34, stride * h);
    for (size_t i = 54; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 13);
    return f;
}

// A BMP of any depth. Palettes (depths up to 8) hold 1 << depth entries;
// `compression` 1 (RLE8) or 2 (RLE4) stores `runs` as the pixel data, 3
// stores the standard masks of 16- or 32-bit pixels; a negative height is
// stored top-down; `coreHeader` writes the 12-byte header of the oldest
// form (3-byte palette entries) instead of the 40-byte one.
struct BmpLayout {
    uint16_t depth = 24;
    uint32_t width = 4;
    int32_t height = 4;
    uint32_t compression = 0;
    std::vector<uint8_t> runs;
    bool coreHeader = false;
};

inline std::vector<uint8_t> makeBmp(const BmpLayout& s) {
    const uint32_t rows = static_cast<uint32_t>(s.height < 0 ? -s.height : s.height);
    const uint32_t stride = (s.width * s.depth + 31) / 32 * 4;
    const uint32_t info = s.coreHeader ? 12 : 40;
    const uint32_t masks = s.compression == 3 ? 12 : 0;
    const uint32_t entryBytes = s.coreHeader ? 3 : 4;
    const uint32_t palette = s.depth <= 8 ? (1u << s.depth) * entryBytes : 0;
    const bool rle = s.compression == 1 || s.compression == 2;
    const uint32_t pixels = rle ? static_cast<uint32_t>(s.runs.size()) : stride * rows;
    const uint32_t offset = 14 + info + masks + palette;
    std::vector<uint8_t> f(offset + pixels, 0);
    f[0] = 'B';
    f[1] = 'M';
    putU32(f.data() + 2, static_cast<uint32_t>(f.size()));
    putU32(f.data() + 10, offset);
    putU32(f.data() + 14, info);
    uint8_t* h = f.data() + 14;
    if (s.coreHeader) {
        putU16(h + 4, static_cast<uint16_t>(s.width));
        putU16(h + 6, static_cast<uint16_t>(rows));
        putU16(h + 8, 1);
        putU16(h + 10, s.depth);
    } else {
        putU32(h + 4, s.width);
        putU32(h + 8, static_cast<uint32_t>(s.height));
        putU16(h + 12, 1);
        putU16(h + 14, s.depth);
        putU32(h + 16, s.compression);
        putU32(h + 20, pixels);
        putU32(h + 24, 2835);
        putU32(h + 28, 2835);
    }
    if (masks) {
        const bool wide = s.depth == 32;
        putU32(f.data() + 14 + info, wide ? 0x00FF0000u : 0xF800u);
        putU32(f.data() + 18 + info, wide ? 0x0000FF00u : 0x07E0u);
        putU32(f.data() + 22 + info, wide ? 0x000000FFu : 0x001Fu);
    }
    for (uint32_t i = 0; i < palette; ++i) f[14 + info + masks + i] = static_cast<uint8_t>(i * 29 + 7);
    if (rle) {
        std::copy(s.runs.begin(), s.runs.end(), f.begin() + offset);
    } else {
        for (uint32_t i = 0; i < pixels; ++i) f[offset + i] = static_cast<uint8_t>(i * 13 + 5);
    }
    return f;
}

}  // namespace tvx::testing
