// A small picture file made in memory, for tests and benchmarks.
#pragma once

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

}  // namespace tvx::testing
