#include "packaging/bmp_decoder.h"

#include <cstdlib>
#include <cstring>

#include "base/bytes.h"

namespace tvx {
namespace {

using platform::DecodedPicture;
using platform::DecodeResult;

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kMaxDimension = 65535;

struct BmpHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    bool topDown = false;
    uint16_t bitsPerPixel = 0;
    uint32_t compression = kUncompressed;
    uint32_t xPixelsPerMetre = 0;
    uint32_t yPixelsPerMetre = 0;
    uint32_t colorsUsed = 0;
    size_t paletteOffset = 0;
    uint32_t paletteEntryBytes = 4;
    size_t pixelOffset = 0;
};

bool readHeader(const uint8_t* data, size_t size, BmpHeader* h) {
    if (size < kFileHeaderBytes + 4 || data[0] != 'B' || data[1] != 'M') return false;
    h->pixelOffset = getU32(data + 10);
    const uint32_t infoSize = getU32(data + kFileHeaderBytes);
    const uint8_t* info = data + kFileHeaderBytes;
    if (infoSize > size - kFileHeaderBytes) return false;
    if (infoSize == kCoreHeaderBytes) {
        h->width = getU16(info + 4);
        h->height = getU16(info + 6);
        h->bitsPerPixel = getU16(info + 10);
        h->paletteEntryBytes = 3;
        h->paletteOffset = kFileHeaderBytes + infoSize;
        return true;
    }
    if (infoSize < kInfoHeaderBytes) return false;
    const int32_t width = getI32(info + 4);
    const int32_t height = getI32(info + 8);
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    h->width = static_cast<uint32_t>(width);
    h->topDown = height < 0;
    h->height = static_cast<uint32_t>(height < 0 ? -height : height);
    h->bitsPerPixel = getU16(info + 14);
    h->compression = getU32(info + 16);
    h->xPixelsPerMetre = getU32(info + 24);
    h->yPixelsPerMetre = getU32(info + 28);
    h->colorsUsed = getU32(info + 32);
    h->paletteOffset = kFileHeaderBytes + infoSize;
    if (h->compression == kBitFields) {
        // Only the standard 8-8-8 layout of 32-bit pixels is a plain DIB.
        const size_t masksAt = infoSize == kInfoHeaderBytes ? h->paletteOffset : kFileHeaderBytes + 40;
        if (masksAt + 12 > size) return false;
        if (infoSize == kInfoHeaderBytes) h->paletteOffset += 12;
        if (h->bitsPerPixel == 32 && (getU32(data + masksAt) != 0x00FF0000u ||
                                      getU32(data + masksAt + 4) != 0x0000FF00u ||
                                      getU32(data + masksAt + 8) != 0x000000FFu)) {
            return false;
        }
        if (h->bitsPerPixel != 16 && h->bitsPerPixel != 32) return false;
        h->compression = kUncompressed;
    }
    return true;
}

bool validDepth(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Copies the palette as blue, green, red, 0 quadruples, always with the
// full 2^bits entries so that every pixel index has one (unused ones zero).
bool readPalette(const uint8_t* data, size_t size, const BmpHeader& h, DecodedPicture* out) {
    if (h.bitsPerPixel > 8) return true;
    const uint32_t entries = 1u << h.bitsPerPixel;
    uint32_t stored = h.colorsUsed == 0 || h.colorsUsed > entries ? entries : h.colorsUsed;
    // Some writers announce more colours than they store before the pixels.
    if (h.pixelOffset > h.paletteOffset) {
        const size_t room = (h.pixelOffset - h.paletteOffset) / h.paletteEntryBytes;
        if (room < stored) stored = static_cast<uint32_t>(room);
    }
    if (h.paletteOffset > size || (size - h.paletteOffset) / h.paletteEntryBytes < stored) return false;
    out->palette = static_cast<uint8_t*>(std::calloc(entries, 4));
    if (out->palette == nullptr) return false;
    out->paletteEntries = entries;
    for (uint32_t i = 0; i < stored; ++i) {
        const uint8_t* e = data + h.paletteOffset + static_cast<size_t>(i) * h.paletteEntryBytes;
        out->palette[4 * i] = e[0];
        out->palette[4 * i + 1] = e[1];
        out->palette[4 * i + 2] = e[2];
    }
    return true;
}

// Run-length decoding into bottom-up rows. Writes are clipped to the
// bitmap; data that ends early leaves the rest of the bitmap at index 0.
class RleWriter {
public:
    RleWriter(uint8_t* pixels, size_t stride, uint32_t width, uint32_t height, bool fourBit)
        : pixels_(pixels), stride_(stride), width_(width), height_(height), fourBit_(fourBit) {}

    void put(uint8_t index) {
        if (x_ < width_ && y_ < height_) {
            uint8_t* row = pixels_ + static_cast<size_t>(y_) * stride_;
            if (fourBit_) {
                uint8_t& b = row[x_ / 2];
                b = (x_ % 2 == 0) ? static_cast<uint8_t>((b & 0x0F) | (index << 4))
                                  : static_cast<uint8_t>((b & 0xF0) | (index & 0x0F));
            } else {
                row[x_] = index;
            }
        }
        ++x_;
    }
    void endOfLine() {
        x_ = 0;
        ++y_;
    }
    void move(uint8_t dx, uint8_t dy) {
        x_ += dx;
        y_ += dy;
    }
    bool finished() const { return y_ >= height_; }

private:
    uint8_t* pixels_;
    size_t stride_;
    uint32_t width_;
    uint32_t height_;
    bool fourBit_;
    uint32_t x_ = 0;
    uint32_t y_ = 0;
};

void decodeRle(const uint8_t* src, size_t n, bool fourBit, RleWriter& w) {
    size_t i = 0;
    while (i + 1 < n && !w.finished()) {
        const uint8_t count = src[i];
        const uint8_t value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (uint32_t k = 0; k < count; ++k) {
                w.put(fourBit ? static_cast<uint8_t>(k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            }
        } else if (value == 0) {
            w.endOfLine();
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 1 >= n) return;
            w.move(src[i], src[i + 1]);
            i += 2;
        } else {
            // Absolute run of `value` pixels, padded to a 16-bit boundary.
            const size_t bytes = fourBit ? (value + 1u) / 2u : value;
            if (bytes > n - i) return;
            for (uint32_t k = 0; k < value; ++k) {
                const uint8_t b = src[i + (fourBit ? k / 2 : k)];
                w.put(fourBit ? static_cast<uint8_t>(k % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            i += bytes + (bytes & 1u);
        }
    }
}

DecodeResult decodeInto(const uint8_t* data, size_t size, DecodedPicture* out) {
    BmpHeader h;
    if (!readHeader(data, size, &h) || !validDepth(h.bitsPerPixel)) return DecodeResult::undecodable;
    if (h.width == 0 || h.height == 0 || h.width > kMaxDimension || h.height > kMaxDimension) {
        return DecodeResult::undecodable;
    }
    const bool rle8 = h.compression == kRle8;
    const bool rle4 = h.compression == kRle4;
    if (h.compression != kUncompressed && !((rle8 && h.bitsPerPixel == 8) || (rle4 && h.bitsPerPixel == 4))) {
        return DecodeResult::undecodable;
    }
    if ((rle8 || rle4) && h.topDown) return DecodeResult::undecodable;

    const uint64_t stride = (static_cast<uint64_t>(h.width) * h.bitsPerPixel + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * h.height;
    if (pixelBytes > platform::kMaxDecodedPixelBytes) return DecodeResult::undecodable;
    if (h.pixelOffset > size) return DecodeResult::undecodable;
    const size_t available = size - h.pixelOffset;
    if (!rle8 && !rle4 && available < pixelBytes) return DecodeResult::undecodable;

    if (!readPalette(data, size, h, out)) return DecodeResult::undecodable;
    out->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(pixelBytes), 1));
    if (out->pixels == nullptr) return DecodeResult::outOfMemory;
    out->pixelBytes = static_cast<size_t>(pixelBytes);
    out->width = h.width;
    out->height = h.height;
    out->bitsPerPixel = h.bitsPerPixel;
    out->xPixelsPerMetre = h.xPixelsPerMetre;
    out->yPixelsPerMetre = h.yPixelsPerMetre;

    const uint8_t* src = data + h.pixelOffset;
    if (rle8 || rle4) {
        RleWriter writer(out->pixels, static_cast<size_t>(stride), h.width, h.height, rle4);
        decodeRle(src, available, rle4, writer);
    } else if (!h.topDown) {
        std::memcpy(out->pixels, src, out->pixelBytes);
    } else {
        for (uint32_t row = 0; row < h.height; ++row) {
            std::memcpy(out->pixels + static_cast<size_t>(h.height - 1 - row) * stride,
                        src + static_cast<size_t>(row) * stride, static_cast<size_t>(stride));
        }
    }
    return DecodeResult::ok;
}

}  // namespace

DecodeResult decodeBmp(const uint8_t* data, size_t size, DecodedPicture* out) {
    const DecodeResult result = decodeInto(data, size, out);
    if (result != DecodeResult::ok) platform::releaseDecodedPicture(out);
    return result;
}

}  // namespace tvx
