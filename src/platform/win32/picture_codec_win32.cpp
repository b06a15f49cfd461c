// JPEG and GIF decoding with the Windows Imaging Component. Every call
// creates its own factory and decoder, so calls may run on several threads.
#include "platform/picture_codec.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/picture_headers.h"
#include "platform/win32/win32.h"

#include <objbase.h>
#include <wincodec.h>

namespace tvx::platform {
namespace {

constexpr uint32_t kMaxDimension = 65535;

// Owns one COM interface pointer.
template <class T>
class Com {
public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM for the calling thread, as long as the call lasts. A thread already in
// a single-threaded apartment keeps it; WIC works in either.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT hr_;
};

size_t dibStride(uint32_t width, uint32_t bitsPerPixel) {
    return static_cast<size_t>((static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4);
}

// Allocates the pixel array (zeroed) and, for 8 bits, a 256-entry palette.
DecodeResult allocateBitmap(uint32_t width, uint32_t height, uint16_t bits, DecodedPicture* out) {
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) return DecodeResult::undecodable;
    const uint64_t bytes = static_cast<uint64_t>(dibStride(width, bits)) * height;
    if (bytes > kMaxDecodedPixelBytes) return DecodeResult::undecodable;
    out->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes), 1));
    if (!out->pixels) return DecodeResult::outOfMemory;
    out->pixelBytes = static_cast<size_t>(bytes);
    if (bits == 8) {
        out->palette = static_cast<uint8_t*>(std::calloc(256, 4));
        if (!out->palette) return DecodeResult::outOfMemory;
        out->paletteEntries = 256;
    }
    out->width = width;
    out->height = height;
    out->bitsPerPixel = bits;
    return DecodeResult::ok;
}

// DIB rows run bottom-up; WIC delivers them top-down.
void flipRows(DecodedPicture* out) {
    const size_t stride = dibStride(out->width, out->bitsPerPixel);
    for (uint32_t top = 0, bottom = out->height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = out->pixels + top * stride;
        uint8_t* b = out->pixels + bottom * stride;
        for (size_t i = 0; i < stride; ++i) {
            const uint8_t t = a[i];
            a[i] = b[i];
            b[i] = t;
        }
    }
}

// The first frame of `data` decoded by the container format's own decoder.
bool openFrame(IWICImagingFactory* factory, const uint8_t* data, size_t size, const GUID& container,
               Com<IWICBitmapFrameDecode>* frame) {
    if (size > MAXDWORD) return false;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    // The stream only reads the memory it is given.
    return SUCCEEDED(factory->CreateStream(stream.out())) &&
           SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) &&
           SUCCEEDED(factory->CreateDecoder(container, nullptr, decoder.out())) &&
           SUCCEEDED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) &&
           SUCCEEDED(decoder->GetFrame(0, frame->out()));
}

DecodeResult decodeJpeg(IWICImagingFactory* factory, const uint8_t* data, size_t size, DecodedPicture* out) {
    Com<IWICBitmapFrameDecode> frame;
    if (!openFrame(factory, data, size, GUID_ContainerFormatJpeg, &frame)) return DecodeResult::undecodable;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&format)))
        return DecodeResult::undecodable;
    const bool grey = IsEqualGUID(format, GUID_WICPixelFormat8bppGray);
    const uint16_t bits = grey ? 8 : 24;
    const DecodeResult allocated = allocateBitmap(width, height, bits, out);
    if (allocated != DecodeResult::ok) return allocated;
    if (grey) {
        for (uint32_t i = 0; i < 256; ++i) std::memset(out->palette + 4 * i, static_cast<int>(i), 3);
    }
    jpegPixelsPerMetre(data, size, &out->xPixelsPerMetre, &out->yPixelsPerMetre);

    // Colour (including CMYK) arrives as blue, green, red bytes.
    Com<IWICFormatConverter> converter;
    IWICBitmapSource* source = frame.get();
    if (!grey) {
        if (FAILED(factory->CreateFormatConverter(converter.out())) ||
            FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr,
                                         0.0, WICBitmapPaletteTypeCustom)))
            return DecodeResult::undecodable;
        source = converter.get();
    }
    const size_t stride = dibStride(width, bits);
    if (FAILED(source->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(out->pixelBytes), out->pixels)))
        return DecodeResult::undecodable;
    flipRows(out);
    return DecodeResult::ok;
}

DecodeResult decodeGif(IWICImagingFactory* factory, const uint8_t* data, size_t size, DecodedPicture* out) {
    GifLayout layout;
    if (!readGifLayout(data, size, &layout) || (!layout.localColours && !layout.globalColours))
        return DecodeResult::undecodable;
    if (layout.width == 0 || layout.height == 0 ||
        static_cast<uint64_t>(layout.width) * layout.height > kMaxDecodedPixelBytes)
        return DecodeResult::undecodable;
    Com<IWICBitmapFrameDecode> frame;
    if (!openFrame(factory, data, size, GUID_ContainerFormatGif, &frame)) return DecodeResult::undecodable;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed) || width != layout.width || height != layout.height)
        return DecodeResult::undecodable;

    // The canvas is the logical screen; a file without one uses the frame.
    const bool screen = layout.screenWidth > 0 && layout.screenHeight > 0;
    const DecodeResult allocated =
        allocateBitmap(screen ? layout.screenWidth : width, screen ? layout.screenHeight : height, 8, out);
    if (allocated != DecodeResult::ok) return allocated;

    Com<IWICPalette> palette;
    WICColor colours[256] = {};
    UINT count = 0;
    if (FAILED(factory->CreatePalette(palette.out())) || FAILED(frame->CopyPalette(palette.get())) ||
        FAILED(palette->GetColors(256, colours, &count)))
        return DecodeResult::undecodable;
    for (UINT i = 0; i < count && i < 256; ++i) {
        out->palette[4 * i] = static_cast<uint8_t>(colours[i]);
        out->palette[4 * i + 1] = static_cast<uint8_t>(colours[i] >> 8);
        out->palette[4 * i + 2] = static_cast<uint8_t>(colours[i] >> 16);
    }

    uint8_t* indices = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * height));
    if (!indices) return DecodeResult::outOfMemory;
    if (FAILED(frame->CopyPixels(nullptr, width, width * height, indices))) {
        std::free(indices);
        return DecodeResult::undecodable;
    }
    // Pixels outside the frame show the background colour; the frame is
    // drawn at its place, clipped to the canvas.
    if (screen && layout.background != 0) std::memset(out->pixels, layout.background, out->pixelBytes);
    const size_t stride = dibStride(out->width, 8);
    if (layout.left < out->width) {
        const size_t count = std::min<uint64_t>(width, out->width - layout.left);
        for (uint32_t y = 0; y < height && layout.top + y < out->height; ++y)
            std::memcpy(out->pixels + (out->height - 1 - (layout.top + y)) * stride + layout.left,
                        indices + static_cast<size_t>(y) * width, count);
    }
    std::free(indices);
    return DecodeResult::ok;
}

}  // namespace

DecodeResult decodePicture(const uint8_t* data, size_t size, PictureKind kind, DecodedPicture* out) {
    if (!data || !out) return DecodeResult::undecodable;
    ComScope com;
    if (!com.usable()) return DecodeResult::outOfMemory;
    DecodeResult result = DecodeResult::undecodable;
    {
        Com<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.out()))))
            return DecodeResult::outOfMemory;
        result = kind == PictureKind::jpeg ? decodeJpeg(factory.get(), data, size, out)
                                           : decodeGif(factory.get(), data, size, out);
    }
    if (result != DecodeResult::ok) releaseDecodedPicture(out);
    return result;
}

}  // namespace tvx::platform
