// Picture conversion: BMP read directly, GIF and JPEG through the codec,
// all made by the tests themselves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "packaging/picture_record.h"

namespace tvx {
namespace {

using Bytes = std::vector<uint8_t>;

size_t strideOf(uint32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// A BMP file with a 40-byte information header. `rows` are the stored pixel
// rows (already padded), in file order.
struct BmpLayout {
    int32_t width = 3;
    int32_t height = 2;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    int32_t xPpm = 0x12345;
    int32_t yPpm = 2835;
    Bytes palette;  // blue, green, red, 0 quadruples as stored
    Bytes pixels;
};

Bytes makeBmp(const BmpLayout& s) {
    Bytes f(54 + s.palette.size() + s.pixels.size());
    f[0] = 'B';
    f[1] = 'M';
    putU32(&f[2], static_cast<uint32_t>(f.size()));
    putU32(&f[10], static_cast<uint32_t>(54 + s.palette.size()));
    putU32(&f[14], 40);
    putI32(&f[18], s.width);
    putI32(&f[22], s.height);
    putU16(&f[26], 1);
    putU16(&f[28], s.bits);
    putU32(&f[30], s.compression);
    putU32(&f[34], static_cast<uint32_t>(s.pixels.size()));
    putI32(&f[38], s.xPpm);
    putI32(&f[42], s.yPpm);
    putU32(&f[46], s.colorsUsed);
    if (!s.palette.empty()) std::memcpy(&f[54], s.palette.data(), s.palette.size());
    if (!s.pixels.empty()) std::memcpy(&f[54 + s.palette.size()], s.pixels.data(), s.pixels.size());
    return f;
}

Bytes patterned(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 13);
    return b;
}

struct Record {
    int32_t result;
    Bytes bytes;
};

Record convert(const Bytes& file, const char* extension) {
    ByteBuffer out;
    Record r{convertPictureFromMemory(file.data(), file.size(), extension, &out), {}};
    if (r.result == rc::ok) r.bytes.assign(out.data(), out.data() + out.size());
    return r;
}

void expectHeader(const Bytes& r, uint16_t width, uint16_t height, uint16_t bits, uint32_t entries,
                  uint32_t pixelBytes) {
    ASSERT_GE(r.size(), 32u);
    EXPECT_EQ(0, std::memcmp(r.data(), "PIC", 4));
    EXPECT_EQ(getU32(&r[4]), r.size());
    EXPECT_EQ(getU32(&r[4]), 32 + 4 * entries + pixelBytes);
    EXPECT_EQ(getU16(&r[8]), pixelBytes / height);
    EXPECT_EQ(getU16(&r[10]), width);
    EXPECT_EQ(getU16(&r[12]), height);
    EXPECT_EQ(getU16(&r[14]), bits);
    EXPECT_EQ(getU32(&r[20]), entries);
    EXPECT_EQ(getU32(&r[24]), pixelBytes);
    EXPECT_EQ(getU32(&r[28]), 0u);
}

Bytes pixelsOf(const Bytes& record) {
    const size_t start = 32 + 4 * getU32(&record[20]);
    return Bytes(record.begin() + static_cast<long>(start), record.end());
}

TEST(PictureBmp, DepthsKeptWithPaletteAndRowsAsStored) {
    struct Case {
        uint16_t bits;
        uint32_t entries;
    };
    for (const Case c : {Case{1, 2}, Case{8, 256}, Case{24, 0}, Case{32, 0}}) {
        BmpLayout s;
        s.width = 5;
        s.height = 3;
        s.bits = c.bits;
        s.pixels = patterned(strideOf(5, c.bits) * 3, static_cast<uint8_t>(c.bits));
        if (c.bits <= 8) {
            s.colorsUsed = 2;
            s.palette = {10, 20, 30, 0, 40, 50, 60, 0};  // blue, green, red, 0
        }
        const Record r = convert(makeBmp(s), "bmp");
        ASSERT_EQ(r.result, rc::ok) << c.bits;
        expectHeader(r.bytes, 5, 3, c.bits, c.entries, static_cast<uint32_t>(s.pixels.size()));
        EXPECT_EQ(getU16(&r.bytes[16]), 0x2345);  // low 16 bits of 0x12345
        EXPECT_EQ(getU16(&r.bytes[18]), 2835);
        EXPECT_EQ(pixelsOf(r.bytes), s.pixels) << c.bits;
        if (c.entries > 0) {
            const Bytes palette(r.bytes.begin() + 32, r.bytes.begin() + 40);
            EXPECT_EQ(palette, (Bytes{30, 20, 10, 0, 60, 50, 40, 0}));  // red, green, blue, 0
            for (size_t i = 40; i < 32 + 4 * c.entries; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
        } else {
            EXPECT_EQ(r.bytes.size(), 32 + s.pixels.size());  // pixel data right after the header
        }
    }
}

TEST(PictureBmp, TopDownRowsBecomeBottomUp) {
    BmpLayout s;
    s.width = 2;
    s.height = -3;
    s.pixels = patterned(8 * 3, 1);
    const Record r = convert(makeBmp(s), "BMP");
    ASSERT_EQ(r.result, rc::ok);
    const Bytes p = pixelsOf(r.bytes);
    ASSERT_EQ(p.size(), 24u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Bytes(p.begin() + row * 8, p.begin() + row * 8 + 8),
                  Bytes(s.pixels.begin() + (2 - row) * 8, s.pixels.begin() + (2 - row) * 8 + 8));
    }
}

TEST(PictureBmp, Rle8IsExpanded) {
    BmpLayout s;
    s.width = 4;
    s.height = 3;
    s.bits = 8;
    s.compression = 1;
    s.palette = patterned(16, 3);
    s.colorsUsed = 4;
    s.pixels = {
        3, 5,                    // bottom row: 5 5 5
        0, 0,                    // end of line
        0, 3, 1, 2, 3, 0,        // absolute run 1 2 3, padded
        0, 2, 1, 1,              // delta: right 1, up 1 (to x 4 of the top row)
        200, 9,                  // a run far past the row end is clipped
        0, 1,                    // end of bitmap
    };
    const Record r = convert(makeBmp(s), "bmp");
    ASSERT_EQ(r.result, rc::ok);
    expectHeader(r.bytes, 4, 3, 8, 256, 12);
    EXPECT_EQ(pixelsOf(r.bytes), (Bytes{5, 5, 5, 0, 1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST(PictureBmp, Refusals) {
    BmpLayout good;
    good.pixels = patterned(strideOf(3, 24) * 2, 0);
    struct Case {
        const char* name;
        Bytes file;
    };
    BmpLayout fourBit = good;
    fourBit.bits = 4;
    fourBit.pixels = patterned(4 * 2, 0);
    BmpLayout rle4 = fourBit;
    rle4.compression = 2;
    rle4.pixels = {3, 0x12, 0, 1};
    BmpLayout sixteen = good;
    sixteen.bits = 16;
    sixteen.pixels = patterned(8 * 2, 0);
    BmpLayout zeroHeight = good;
    zeroHeight.height = 0;
    BmpLayout wide = good;
    wide.width = 70000;
    BmpLayout huge = good;
    huge.width = 60000;
    huge.height = 60000;
    Bytes truncated = makeBmp(good);
    truncated.resize(truncated.size() - 1);
    Bytes lyingOffset = makeBmp(good);
    putU32(&lyingOffset[10], 0xFFFFFFF0u);
    Bytes lyingHeaderSize = makeBmp(good);
    putU32(&lyingHeaderSize[14], 0x7FFFFFFFu);
    const std::vector<Case> cases = {
        {"4-bit", makeBmp(fourBit)},
        {"4-bit RLE", makeBmp(rle4)},
        {"16-bit", makeBmp(sixteen)},
        {"zero height", makeBmp(zeroHeight)},
        {"too wide", makeBmp(wide)},
        {"huge", makeBmp(huge)},
        {"pixels cut short", truncated},
        {"pixel offset past the end", lyingOffset},
        {"header size past the end", lyingHeaderSize},
        {"not a bmp", Bytes{'B', 'X', 0, 0}},
        {"empty", Bytes{}},
    };
    for (const Case& c : cases) EXPECT_EQ(convert(c.file, "bmp").result, rc::fileError) << c.name;
    EXPECT_EQ(convert(makeBmp(good), "bmp").result, rc::ok);
}

TEST(PictureRecord, RefusesDimensionsTheHeaderCannotHold) {
    Bytes pixels(80000, 1);
    platform::DecodedPicture p;
    p.bitsPerPixel = 32;
    p.width = 20000;  // 80000 bytes per row do not fit 16 bits
    p.height = 1;
    p.pixels = pixels.data();
    p.pixelBytes = pixels.size();
    ByteBuffer out;
    EXPECT_EQ(buildPictureRecord(p, &out), rc::fileError);
    p.width = 2;
    p.height = 0;  // would divide by zero
    EXPECT_EQ(buildPictureRecord(p, &out), rc::fileError);
    p.height = 1;
    p.pixelBytes = 8;
    EXPECT_EQ(buildPictureRecord(p, &out), rc::ok);
    EXPECT_EQ(out.size(), 40u);
}

// ---- GIF -------------------------------------------------------------------

int appendToVector(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

Bytes makeGif(int width, int height, const std::vector<GifColorType>& colours, const Bytes& indices) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendToVector, &error);
    EXPECT_NE(gif, nullptr);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y) {
        EGifPutLine(gif, const_cast<GifPixelType*>(indices.data() + y * width), width);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

TEST(PictureGif, EightBitsWithItsPalette) {
    const std::vector<GifColorType> colours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    const Bytes indices = {0, 1, 2, 3, 0,  //
                           3, 3, 2, 1, 1,  //
                           2, 0, 0, 0, 3};
    const Record r = convert(makeGif(5, 3, colours, indices), "gif");
    ASSERT_EQ(r.result, rc::ok);
    expectHeader(r.bytes, 5, 3, 8, 256, 24);
    const Bytes palette(r.bytes.begin() + 32, r.bytes.begin() + 48);
    EXPECT_EQ(palette, (Bytes{255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 10, 20, 30, 0}));
    // Bottom row first, rows padded to 8 bytes.
    EXPECT_EQ(pixelsOf(r.bytes), (Bytes{2, 0, 0, 0, 3, 0, 0, 0,  //
                                        3, 3, 2, 1, 1, 0, 0, 0,  //
                                        0, 1, 2, 3, 0, 0, 0, 0}));
}

// ---- JPEG ------------------------------------------------------------------

Bytes makeJpeg(int width, int height, bool grey, const Bytes& samples, uint16_t dpi) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    info.density_unit = 1;
    info.X_density = dpi;
    info.Y_density = dpi;
    jpeg_start_compress(&info, TRUE);
    const int rowBytes = width * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

TEST(PictureJpeg, ColourBecomes24BitBgrRows) {
    // Top half red-ish, bottom half blue-ish, 6 x 8 pixels.
    Bytes rgb;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool top = y < 4;
            rgb.insert(rgb.end(), {static_cast<uint8_t>(top ? 200 : 20), 60, static_cast<uint8_t>(top ? 30 : 220)});
        }
    }
    const Record r = convert(makeJpeg(6, 8, false, rgb, 72), "JPG");
    ASSERT_EQ(r.result, rc::ok);
    expectHeader(r.bytes, 6, 8, 24, 0, 20 * 8);
    EXPECT_EQ(getU16(&r.bytes[16]), 2835);  // 72 dpi in pixels per metre
    const Bytes p = pixelsOf(r.bytes);
    // DIB row 0 is the picture's bottom row (blue-ish); bytes are B, G, R.
    const uint8_t* bottom = &p[20 * 0 + 3 * 2];
    const uint8_t* top = &p[20 * 7 + 3 * 2];
    EXPECT_NEAR(bottom[0], 220, 8);
    EXPECT_NEAR(bottom[1], 60, 8);
    EXPECT_NEAR(bottom[2], 20, 8);
    EXPECT_NEAR(top[0], 30, 8);
    EXPECT_NEAR(top[2], 200, 8);
    EXPECT_EQ(p[18], 0);  // row padding
}

TEST(PictureJpeg, GreyBecomes8BitWithGreyPalette) {
    Bytes grey(4 * 2);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i < 4 ? 40 : 180);
    for (const char* extension : {"jpeg", "jpe"}) {
        const Record r = convert(makeJpeg(4, 2, true, grey, 0), extension);
        ASSERT_EQ(r.result, rc::ok);
        expectHeader(r.bytes, 4, 2, 8, 256, 8);
        for (uint32_t i = 0; i < 256; ++i) {
            ASSERT_EQ(getU32(&r.bytes[32 + 4 * i]), i | (i << 8) | (i << 16)) << i;
        }
        const Bytes p = pixelsOf(r.bytes);
        EXPECT_NEAR(p[0], 180, 6);  // bottom row first
        EXPECT_NEAR(p[4], 40, 6);
    }
}

TEST(PictureConversion, UndecodableAndMisnamedFiles) {
    const Bytes garbage = patterned(200, 9);
    for (const char* extension : {"jpg", "gif", "bmp", "png", ""}) {
        EXPECT_EQ(convert(garbage, extension).result, rc::fileError) << extension;
    }
    const Bytes rgb(3 * 4, 100);
    Bytes cut = makeJpeg(2, 2, false, rgb, 0);
    cut.resize(20);
    EXPECT_EQ(convert(cut, "jpg").result, rc::fileError);

    ByteBuffer out;
    const std::string dir = ::testing::TempDir();
    EXPECT_EQ(convertPicture((dir + "picture_without_extension").c_str(), &out), rc::fileError);
    EXPECT_EQ(convertPicture((dir + "dotted.dir/picture").c_str(), &out), rc::fileError);
    EXPECT_EQ(convertPicture((dir + "missing_picture.bmp").c_str(), &out), rc::fileNotFound);

    BmpLayout s;
    s.pixels = patterned(strideOf(3, 24) * 2, 0);
    const Bytes bmp = makeBmp(s);
    const std::string path = dir + "tavrix_picture.Bmp";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);
    ASSERT_EQ(convertPicture(path.c_str(), &out), rc::ok);
    EXPECT_EQ(out.size(), 32 + s.pixels.size());
    EXPECT_EQ(out.data()[out.size()], 0);  // zero byte after the record
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tvx
