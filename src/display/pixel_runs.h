// Run-length-encoded 16-bit pixels, shared by the LCD mirror and the camera
// images: 3-byte runs of a colour (low byte first) and the run length minus
// one. The painter writes runs into a caller's buffer of width x height
// elements and refuses, before writing it, any run that would leave it.
#pragma once

#include <cstdint>

namespace tvx {

inline constexpr uint32_t kRunBytes = 3;
inline constexpr uint32_t kMaxEncodedBytes = 2048;

// 5-5-5 to 5-6-5: red and green move up one bit, the lowest green bit is 0.
inline uint16_t rgb555To565(uint16_t v) { return static_cast<uint16_t>(((v & 0xFFE0u) << 1) | (v & 0x001Fu)); }

// Where a chunk's runs go: the buffer, and the columns a row of runs spans.
// After a run ends at or beyond `rightEdge`, the next run starts at
// `leftEdge` of the next row (runs are written contiguously even where
// they pass the edge).
struct PaintTarget {
    uint16_t* pixels;
    uint32_t width;   // elements per buffer row
    uint32_t height;  // buffer rows
    uint32_t leftEdge;
    uint32_t rightEdge;
    bool convert555;  // colours converted from 5-5-5 to 5-6-5
};

// Paints the whole runs of `encoded` (`length` bytes; a partial run at the
// end is ignored) starting at column x, row y. Returns 0, or 20100 before
// the first run that would write outside width x height elements; the runs
// before it stay painted.
int32_t paintRuns(const PaintTarget& target, uint32_t x, uint32_t y, const uint8_t* encoded, uint32_t length);

// A remote screen's chunk for the region of columns [leftEdge, rightEdge)
// from row `regionTop` on: a position left of the region starts at its left
// edge, one at or past its right edge at the left edge of the next row, one
// above it in its top row.
int32_t paintRegionChunk(const PaintTarget& target, uint32_t regionTop, uint32_t position, const uint8_t* encoded,
                         uint32_t length);

// A camera image's chunk (rows span the whole width): a position whose
// column is at or past the width starts the next row; one starting below
// the last row gives 20100.
int32_t paintImageChunk(const PaintTarget& target, uint32_t position, const uint8_t* encoded, uint32_t length);

}  // namespace tvx
