// Camera images of the controller's vision module: description and whole
// image fetch into the caller's buffer.

#include "api/requests.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"
#include "display/display_packets.h"
#include "display/pixel_runs.h"

using namespace tvx;

namespace {

struct ImageSize {
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t bits = 0;
    uint32_t extra = 0;
};

void putVisionRequest(PacketArea& a, uint16_t image, uint32_t position) {
    a.begin(req::visionImage, vision_request::bytes);
    putU16(a.args() + vision_request::image, image);
    putU32(a.args() + vision_request::position, position);
}

int32_t describeImage(ControllerHandle& h, uint16_t image, ImageSize* size) {
    PacketArea a;
    putVisionRequest(a, image, vision_request::describe);
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    size->width = getU16(a.data() + vision_description_reply::width);
    size->height = getU16(a.data() + vision_description_reply::height);
    size->bits = getU16(a.data() + vision_description_reply::bitsPerPixel);
    size->extra = getU32(a.data() + vision_description_reply::extra);
    return rc::ok;
}

// Fetches the chunk at `position` and paints it; `next` receives the
// controller's next position.
int32_t fetchImageChunk(ControllerHandle& h, uint16_t image, const ImageSize& size, uint32_t position,
                        uint16_t* pixels, bool convert555, uint32_t* next) {
    PacketArea a;
    putVisionRequest(a, image, position);
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    *next = getU32(a.data() + image_chunk_reply::next);
    const uint32_t length = getU16(a.data() + image_chunk_reply::length);
    const uint32_t carried = a.dataLength() > image_chunk_reply::encoded ? a.dataLength() - image_chunk_reply::encoded : 0;
    if (length > kMaxEncodedBytes || length > carried) return rc::replyLength;
    if (getU16(a.data() + image_chunk_reply::kind) != image_chunk_reply::encodedPixels) return rc::chunkKind;
    if (length == 0) return rc::ok;
    const PaintTarget target{pixels, size.width, size.height, 0, size.width, convert555};
    return paintImageChunk(target, position, a.data() + image_chunk_reply::encoded, length);
}

int32_t fetchImage(TVX_HANDLE api, uint16_t image, int32_t* widthOut, int32_t* heightOut, int32_t* bitsOut,
                   uint16_t* pixels, int32_t bufferSize, bool convert555,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        ImageSize size;
        int32_t r = describeImage(h, image, &size);
        if (r != rc::ok) return r;
        // The sizes go out before any check, so a caller can size its buffer.
        if (widthOut) *widthOut = size.width;
        if (heightOut) *heightOut = size.height;
        if (bitsOut) *bitsOut = size.bits;
        if (size.bits != 16) return rc::pixelDepth;
        if (static_cast<int64_t>(size.width) * size.height * 2 > static_cast<int64_t>(bufferSize))
            return rc::bufferTooSmall;
        if (!pixels) return refuse(rc::badArgument, "pixels is NULL");
        // Each chunk must move the position on; an image never needs more
        // chunks than it has pixels.
        const uint64_t chunkLimit = static_cast<uint64_t>(size.width) * size.height + 1;
        uint32_t position = 0;
        for (uint64_t chunks = 1;; ++chunks) {
            if (chunks > chunkLimit) return rc::replyLength;
            uint32_t next = 0;
            r = fetchImageChunk(h, image, size, position, pixels, convert555, &next);
            if (r != rc::ok) return r;
            if (next <= position) return rc::ok;
            position = next;
        }
    }, where);
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGetInfo(TVX_HANDLE api, uint16_t imageNumber, int32_t* widthOut,
                                                  int32_t* heightOut, int32_t* bitsOut, int32_t* extraOut) {
    return withHandle(api, [&](ControllerHandle& h) {
        ImageSize size;
        const int32_t r = describeImage(h, imageNumber, &size);
        if (r != rc::ok) return r;
        if (widthOut) *widthOut = size.width;
        if (heightOut) *heightOut = size.height;
        if (bitsOut) *bitsOut = size.bits;
        if (extraOut) *extraOut = static_cast<int32_t>(size.extra);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGet(TVX_HANDLE api, uint16_t imageNumber, int32_t* widthOut,
                                              int32_t* heightOut, int32_t* bitsOut, uint16_t* pixels,
                                              int32_t bufferSize) {
    return fetchImage(api, imageNumber, widthOut, heightOut, bitsOut, pixels, bufferSize, false);
}

TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGet2(TVX_HANDLE api, uint16_t imageNumber, int32_t* widthOut,
                                               int32_t* heightOut, int32_t* bitsOut, uint16_t* pixels,
                                               int32_t bufferSize) {
    return fetchImage(api, imageNumber, widthOut, heightOut, bitsOut, pixels, bufferSize, true);
}

}  // extern "C"
