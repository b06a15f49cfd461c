// JPEG and GIF decoding with the system's libjpeg(-turbo) and giflib. Each
// call uses its own decoder objects, so calls may run on several threads.
#include "platform/picture_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <gif_lib.h>
#include <jpeglib.h>

namespace tvx::platform {
namespace {

constexpr uint32_t kMaxDimension = 65535;

size_t dibStride(uint32_t width, uint32_t bitsPerPixel) {
    return static_cast<size_t>((static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4);
}

// Allocates the pixel array (zeroed) and, for 8 bits, a 256-entry palette.
DecodeResult allocateBitmap(uint32_t width, uint32_t height, uint16_t bits, DecodedPicture* out) {
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) {
        return DecodeResult::undecodable;
    }
    const uint64_t bytes = static_cast<uint64_t>(dibStride(width, bits)) * height;
    if (bytes > kMaxDecodedPixelBytes) return DecodeResult::undecodable;
    out->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (out->pixels == nullptr) return DecodeResult::outOfMemory;
    out->pixelBytes = static_cast<size_t>(bytes);
    if (bits == 8) {
        out->palette = static_cast<uint8_t*>(std::calloc(256, 4));
        if (out->palette == nullptr) return DecodeResult::outOfMemory;
        out->paletteEntries = 256;
    }
    out->width = width;
    out->height = height;
    out->bitsPerPixel = bits;
    return DecodeResult::ok;
}

// ---- JPEG ------------------------------------------------------------------

struct JpegErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}
void jpegSilent(j_common_ptr) {}

uint32_t pixelsPerMetre(uint8_t unit, uint16_t density) {
    if (unit == 1) return (density * 10000u + 127u) / 254u;  // dots per inch
    if (unit == 2) return density * 100u;                    // dots per centimetre
    return 0;
}

// No C++ object with a destructor lives in this function: libjpeg reports
// errors by a long jump back to the setjmp below.
DecodeResult decodeJpeg(const uint8_t* data, size_t size, DecodedPicture* out) {
    jpeg_decompress_struct info;
    JpegErrorTrap trap;
    uint8_t* volatile row = nullptr;
    volatile DecodeResult failure = DecodeResult::undecodable;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = jpegErrorExit;
    trap.manager.output_message = jpegSilent;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        std::free(row);
        return failure;
    }
    jpeg_create_decompress(&info);
    // Bounds libjpeg's own working memory for hostile headers.
    info.mem->max_memory_to_use = 2 * kMaxDecodedPixelBytes;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);

    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    const uint16_t bits = grey ? 8 : 24;
    const DecodeResult allocated = allocateBitmap(info.image_width, info.image_height, bits, out);
    if (allocated != DecodeResult::ok) {
        failure = allocated;
        jpegErrorExit(reinterpret_cast<j_common_ptr>(&info));
    }
    if (grey) {
        for (uint32_t i = 0; i < 256; ++i) std::memset(out->palette + 4 * i, static_cast<int>(i), 3);
    }
    out->xPixelsPerMetre = pixelsPerMetre(info.density_unit, info.X_density);
    out->yPixelsPerMetre = pixelsPerMetre(info.density_unit, info.Y_density);

    jpeg_start_decompress(&info);
    const size_t stride = dibStride(out->width, bits);
    row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(info.output_width) * info.output_components));
    if (row == nullptr) {
        failure = DecodeResult::outOfMemory;
        jpegErrorExit(reinterpret_cast<j_common_ptr>(&info));
    }
    while (info.output_scanline < info.output_height) {
        // DIB rows run bottom-up.
        uint8_t* dest = out->pixels + static_cast<size_t>(out->height - 1 - info.output_scanline) * stride;
        JSAMPROW line = cmyk ? row : dest;
        if (jpeg_read_scanlines(&info, &line, 1) != 1) break;
        if (cmyk) {
            // Adobe writes CMYK inverted: each channel times K gives the colour.
            for (uint32_t x = 0; x < out->width; ++x) {
                const uint8_t* s = row + 4 * x;
                dest[3 * x] = static_cast<uint8_t>(s[2] * s[3] / 255);
                dest[3 * x + 1] = static_cast<uint8_t>(s[1] * s[3] / 255);
                dest[3 * x + 2] = static_cast<uint8_t>(s[0] * s[3] / 255);
            }
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::free(row);
    return DecodeResult::ok;
}

// ---- GIF -------------------------------------------------------------------

struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* src = static_cast<MemorySource*>(gif->UserData);
    if (wanted <= 0) return 0;
    const size_t left = src->size - src->position;
    const size_t n = static_cast<size_t>(wanted) < left ? static_cast<size_t>(wanted) : left;
    std::memcpy(buffer, src->data + src->position, n);
    src->position += n;
    return static_cast<int>(n);
}

bool skipExtension(GifFileType* gif) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Reads the frame's rows (de-interlacing them) and draws them onto the
// canvas, clipped to it.
DecodeResult drawFrame(GifFileType* gif, DecodedPicture* out) {
    const GifImageDesc& d = gif->Image;
    if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) return DecodeResult::undecodable;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr) return DecodeResult::undecodable;
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        out->palette[4 * i] = map->Colors[i].Blue;
        out->palette[4 * i + 1] = map->Colors[i].Green;
        out->palette[4 * i + 2] = map->Colors[i].Red;
    }
    uint8_t* line = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(d.Width)));
    if (line == nullptr) return DecodeResult::outOfMemory;
    static constexpr int kPassStart[4] = {0, 4, 2, 1};
    static constexpr int kPassStep[4] = {8, 8, 4, 2};
    const int passes = d.Interlace ? 4 : 1;
    const size_t stride = dibStride(out->width, 8);
    DecodeResult result = DecodeResult::ok;
    for (int pass = 0; pass < passes && result == DecodeResult::ok; ++pass) {
        const int start = d.Interlace ? kPassStart[pass] : 0;
        const int step = d.Interlace ? kPassStep[pass] : 1;
        for (int y = start; y < d.Height; y += step) {
            if (DGifGetLine(gif, line, d.Width) == GIF_ERROR) {
                result = DecodeResult::undecodable;
                break;
            }
            const uint64_t canvasY = static_cast<uint64_t>(d.Top) + y;
            if (canvasY >= out->height || static_cast<uint64_t>(d.Left) >= out->width) continue;
            const size_t count = std::min<uint64_t>(static_cast<uint64_t>(d.Width), out->width - d.Left);
            std::memcpy(out->pixels + (out->height - 1 - canvasY) * stride + d.Left, line, count);
        }
    }
    std::free(line);
    return result;
}

DecodeResult decodeGifFile(GifFileType* gif, DecodedPicture* out) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return DecodeResult::undecodable;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!skipExtension(gif)) return DecodeResult::undecodable;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) return DecodeResult::undecodable;
        if (DGifGetImageDesc(gif) == GIF_ERROR) return DecodeResult::undecodable;
        // The canvas is the logical screen; a file without one uses the frame.
        const bool screen = gif->SWidth > 0 && gif->SHeight > 0;
        const uint32_t width = static_cast<uint32_t>(screen ? gif->SWidth : gif->Image.Width);
        const uint32_t height = static_cast<uint32_t>(screen ? gif->SHeight : gif->Image.Height);
        const DecodeResult allocated = allocateBitmap(width, height, 8, out);
        if (allocated != DecodeResult::ok) return allocated;
        if (gif->Image.Width <= 0 || gif->Image.Height <= 0 ||
            static_cast<uint64_t>(gif->Image.Width) * static_cast<uint64_t>(gif->Image.Height) >
                kMaxDecodedPixelBytes) {
            return DecodeResult::undecodable;
        }
        // Pixels outside the frame show the background colour.
        if (screen && gif->SBackGroundColor != 0) {
            const size_t stride = dibStride(width, 8);
            for (uint32_t y = 0; y < height; ++y) {
                std::memset(out->pixels + y * stride, gif->SBackGroundColor, width);
            }
        }
        return drawFrame(gif, out);
    }
}

DecodeResult decodeGif(const uint8_t* data, size_t size, DecodedPicture* out) {
    MemorySource source{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, readFromMemory, &error);
    if (gif == nullptr) return error == D_GIF_ERR_NOT_ENOUGH_MEM ? DecodeResult::outOfMemory : DecodeResult::undecodable;
    const DecodeResult result = decodeGifFile(gif, out);
    DGifCloseFile(gif, &error);
    return result;
}

}  // namespace

DecodeResult decodePicture(const uint8_t* data, size_t size, PictureKind kind, DecodedPicture* out) {
    if (data == nullptr || out == nullptr) return DecodeResult::undecodable;
    const DecodeResult result = kind == PictureKind::jpeg ? decodeJpeg(data, size, out) : decodeGif(data, size, out);
    if (result != DecodeResult::ok) releaseDecodedPicture(out);
    return result;
}

}  // namespace tvx::platform
