// A 16-bit (5-6-5) picture the simulated controller draws into: its LCD
// frame buffer and its camera images. Drawing is deliberately simple:
// filled rectangles and text in a small built-in bitmap font.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tvx::sim {

struct PixelRect {
    uint32_t x = 0, y = 0, width = 0, height = 0;
    uint32_t right() const { return x + width; }
    uint32_t bottom() const { return y + height; }
    bool empty() const { return width == 0 || height == 0; }
};

// The smallest rectangle holding both.
PixelRect unite(const PixelRect& a, const PixelRect& b);

inline constexpr uint16_t rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

class PixelImage {
public:
    PixelImage() = default;
    PixelImage(uint32_t width, uint32_t height, uint16_t fill = 0) { reset(width, height, fill); }
    void reset(uint32_t width, uint32_t height, uint16_t fill = 0);

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    PixelRect bounds() const { return {0, 0, width_, height_}; }
    uint16_t at(uint32_t x, uint32_t y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void set(uint32_t x, uint32_t y, uint16_t v) { pixels_[static_cast<size_t>(y) * width_ + x] = v; }
    const std::vector<uint16_t>& pixels() const { return pixels_; }
    std::vector<uint16_t>& pixels() { return pixels_; }

    // Both clip to the picture.
    void fill(const PixelRect& r, uint16_t colour);
    // Upper-case text (lower case is shown as upper case) with glyphs of
    // 5 x 7 dots scaled by `scale`, 6 x `scale` pixels apart.
    void text(uint32_t x, uint32_t y, uint32_t scale, uint16_t colour, std::string_view s);
    static uint32_t textWidth(std::string_view s, uint32_t scale) { return static_cast<uint32_t>(s.size()) * 6 * scale; }

private:
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    std::vector<uint16_t> pixels_;
};

// Run-length encodes the pixels of `region` from `position` (row in the high
// 16 bits, column in the low 16) in 3-byte runs (colour low byte first, run
// length minus one) that never pass the region's right edge, into at most
// `room` bytes. A position left of the region starts at its left edge, one
// at or past its right edge at the left edge of the next row. `next`
// receives the position after the last pixel sent, or `position` itself
// once the region is complete (the chunk that completes it carries the
// last pixels). Returns the bytes written.
size_t encodeRuns(const PixelImage& image, const PixelRect& region, uint32_t position, size_t room, uint8_t* out,
                  uint32_t* next);

}  // namespace tvx::sim
