// Decoding of compressed pictures (JPEG, GIF) into a device-independent
// bitmap. The packaging code turns the result into a picture record; BMP
// files are read there directly, so only the compressed kinds come here.
// POSIX: libjpeg-turbo and giflib; Windows: WIC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tvx::platform {

enum class PictureKind { jpeg, gif };

// Largest pixel array a decoder will allocate (a few bytes of a hostile file
// can announce a 65535 x 65535 picture). Larger pictures do not decode.
inline constexpr size_t kMaxDecodedPixelBytes = 128u * 1024u * 1024u;

// A decoded bitmap laid out exactly as a Windows DIB stores its pixels.
// Memory is allocated with malloc and released by releaseDecodedPicture.
struct DecodedPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    // 8 (GIF, grey JPEG) or 24 (colour JPEG). The picture record accepts
    // 1, 8, 24 and 32 and refuses any other depth.
    uint16_t bitsPerPixel = 0;
    // Resolution in pixels per metre, 0 when the file does not say.
    uint32_t xPixelsPerMetre = 0;
    uint32_t yPixelsPerMetre = 0;
    // Palette entries as blue, green, red, 0 quadruples (4 bytes each);
    // nullptr with paletteEntries 0 for 24 and 32 bits.
    uint8_t* palette = nullptr;
    uint32_t paletteEntries = 0;
    // Bottom row first, each row padded to a multiple of 4 bytes, multi-byte
    // pixels in blue, green, red (, alpha) order.
    uint8_t* pixels = nullptr;
    size_t pixelBytes = 0;
};

enum class DecodeResult { ok, undecodable, outOfMemory };

// Decodes `size` bytes of the given kind into `out` (which must be empty).
// On failure `out` is left empty. Safe to call from several threads: every
// call uses its own codec objects.
DecodeResult decodePicture(const uint8_t* data, size_t size, PictureKind kind,
                           DecodedPicture* out);

// Frees the buffers of `picture` and resets it to empty.
inline void releaseDecodedPicture(DecodedPicture* picture) {
    std::free(picture->palette);
    std::free(picture->pixels);
    *picture = DecodedPicture{};
}

}  // namespace tvx::platform
