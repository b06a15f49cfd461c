// Seeds of the picture converter: BMP of every depth and form (RLE8 and
// RLE4 with every escape), GIF and JPEG pictures encoded here with giflib
// and libjpeg. The first byte picks the kind: 0 BMP, 1 GIF, 2 JPEG.
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "seed_output.h"
#include "support/bmp_fixture.h"

namespace tvx::seeds {
namespace {

constexpr uint8_t kBmp = 0, kGif = 1, kJpeg = 2;

// RLE8: an encoded run, an absolute run (odd, so padded), a delta, end of
// line, end of bitmap.
const Bytes kRle8 = {3, 0x11, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 0, 2, 0x22, 0, 0, 4, 0x33, 0, 1};
// RLE4: the same escapes over nibbles.
const Bytes kRle4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 2, 2, 1, 3, 0x77, 0, 0, 6, 0xAB, 0, 1};

testing::BmpLayout bmp(uint16_t depth, uint32_t width, int32_t height, uint32_t compression = 0,
                     const Bytes& runs = {}, bool coreHeader = false) {
    testing::BmpLayout s;
    s.depth = depth;
    s.width = width;
    s.height = height;
    s.compression = compression;
    s.runs = runs;
    s.coreHeader = coreHeader;
    return s;
}

bool bmpSeeds() {
    using testing::BmpLayout;
    struct Case {
        const char* name;
        BmpLayout layout;
    };
    const Case cases[] = {
        {"bmp1", bmp(1, 9, 3)},
        {"bmp4", bmp(4, 5, 3)},
        {"bmp8", bmp(8, 5, 3)},
        {"bmp16", bmp(16, 3, 2)},
        {"bmp24", bmp(24, 3, 2)},
        {"bmp32", bmp(32, 3, 2)},
        {"bmp24_top_down", bmp(24, 3, -2)},
        {"bmp8_top_down", bmp(8, 4, -3)},
        {"bmp16_bitfields", bmp(16, 3, 2, 3)},
        {"bmp32_bitfields", bmp(32, 2, 2, 3)},
        {"bmp_rle8", bmp(8, 6, 4, 1, kRle8)},
        {"bmp_rle4", bmp(4, 7, 4, 2, kRle4)},
        {"bmp8_core_header", bmp(8, 4, 2, 0, {}, true)},
        {"bmp24_core_header", bmp(24, 2, 2, 0, {}, true)},
    };
    bool ok = true;
    for (const Case& c : cases) ok = writeSeed("fuzz_picture", c.name, led(kBmp, testing::makeBmp(c.layout))) && ok;
    return ok;
}

int gifWrite(GifFileType* gif, const GifByteType* bytes, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + n);
    return n;
}

// A w x h GIF with a palette of 2^bits colours; `interlaced`, and a local
// palette instead of the global one, vary the decoder's paths.
Bytes makeGif(int w, int h, int bits, bool interlaced, bool local) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    if (!gif) return {};
    const int colours = 1 << bits;
    GifColorType palette[256];
    for (int i = 0; i < colours; ++i)
        palette[i] = GifColorType{static_cast<GifByteType>(i * 37), static_cast<GifByteType>(i * 91),
                                  static_cast<GifByteType>(255 - i)};
    ColorMapObject* map = GifMakeMapObject(colours, palette);
    bool ok = map && EGifPutScreenDesc(gif, w, h, bits, 0, local ? nullptr : map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, w, h, interlaced, local ? map : nullptr) == GIF_OK;
    std::string row(static_cast<size_t>(w), 0);
    for (int y = 0; ok && y < h; ++y) {
        for (int x = 0; x < w; ++x) row[static_cast<size_t>(x)] = static_cast<char>((x + y) % colours);
        ok = EGifPutLine(gif, reinterpret_cast<GifPixelType*>(row.data()), w) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
    return ok ? out : Bytes{};
}

Bytes makeJpeg(int w, int h, bool grey, bool progressive) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 50, TRUE);
    c.density_unit = 1;  // dots per inch: the record carries the resolution
    c.X_density = 96;
    c.Y_density = 72;
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes row(static_cast<size_t>(w * c.input_components));
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(i * 23 + c.next_scanline * 40);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

bool compressedSeeds() {
    const std::pair<const char*, Bytes> pictures[] = {
        {"gif_2_colours", led(kGif, makeGif(5, 3, 1, false, false))},
        {"gif_256_interlaced", led(kGif, makeGif(8, 9, 8, true, false))},
        {"gif_local_palette", led(kGif, makeGif(4, 4, 4, false, true))},
        {"jpeg_colour", led(kJpeg, makeJpeg(8, 8, false, false))},
        {"jpeg_grey", led(kJpeg, makeJpeg(9, 5, true, false))},
        {"jpeg_progressive", led(kJpeg, makeJpeg(16, 8, false, true))},
    };
    bool ok = true;
    for (const auto& [name, file] : pictures) ok = file.size() > 1 && writeSeed("fuzz_picture", name, file) && ok;
    return ok;
}

}  // namespace

bool makePictureSeeds() {
    const bool b = bmpSeeds();
    const bool c = compressedSeeds();
    return b && c;
}

}  // namespace tvx::seeds
