#include "screen_capture.h"

namespace tvx::tool {

int32_t captureScreen(TVX_HANDLE h, uint32_t screen, Picture565* picture) {
    TVX_LcdScreen s{};
    int32_t r = TVX_ELcdOpen(h, screen, &s.info);
    if (r != TVX_OK) return r;
    if (s.info.width <= 0 || s.info.height <= 0) {
        TVX_ELcdClose(h, screen);
        return TVX_ERR_REPLY_LENGTH;
    }
    picture->width = static_cast<uint32_t>(s.info.width);
    picture->height = static_cast<uint32_t>(s.info.height);
    picture->pixels.assign(static_cast<size_t>(picture->width) * picture->height, 0);
    r = TVX_ELcdDataCheckAndGetAll(h, screen, &s, picture->pixels.data());
    if (r == TVX_OK) r = TVX_ELcdDataGetEnd(h, screen);
    TVX_ELcdClose(h, screen);
    return r;
}

int32_t captureCameraImage(TVX_HANDLE h, uint16_t image, Picture565* picture) {
    int32_t w = 0, height = 0, bits = 0;
    int32_t r = TVX_NVLatinImgGetInfo(h, image, &w, &height, &bits, nullptr);
    if (r != TVX_OK) return r;
    if (bits != 16) return TVX_ERR_PIXEL_DEPTH;
    const uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(height) * 2;
    if (bytes > INT32_MAX) return TVX_ERR_BUFFER_TOO_SMALL;
    picture->pixels.assign(static_cast<size_t>(bytes / 2), 0);
    // The image may have changed since its description: its own sizes count.
    r = TVX_NVLatinImgGet(h, image, &w, &height, &bits, picture->pixels.data(), static_cast<int32_t>(bytes));
    if (r != TVX_OK) return r;
    picture->width = static_cast<uint32_t>(w);
    picture->height = static_cast<uint32_t>(height);
    picture->pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(height));
    return TVX_OK;
}

}  // namespace tvx::tool
