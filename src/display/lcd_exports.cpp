// The remote LCD exports: session open and close, changed regions and their
// pixels, touch, key and encoder input.

#include "api/requests.h"
#include "base/debug_output.h"
#include "channel/request_codes.h"
#include "display/display_packets.h"
#include "display/display_state.h"
#include "display/lcd_fetch.h"

using namespace tvx;

namespace {

uint8_t low8(uint32_t v) { return static_cast<uint8_t>(v); }

int32_t getChunk(TVX_HANDLE api, uint32_t lcdNumber, uint32_t regionIndex, uint32_t position, uint32_t* next,
                 TVX_LcdRawChunk* raw, const TVX_LcdScreen* screen, uint16_t* pixels, bool convert555,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        ChunkSink sink;
        sink.next = next;
        sink.raw = raw;
        sink.screen = screen;
        sink.pixels = pixels;
        sink.convert555 = convert555;
        return fetchLcdChunk(h, low8(lcdNumber), low8(regionIndex), regionIndex, position, sink);
    }, where);
}

int32_t getAll(TVX_HANDLE api, uint32_t lcdNumber, const TVX_LcdScreen* screen, uint16_t* pixels, bool convert555,
               int32_t every, TVX_LcdProgressCallback onProgress,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        return fetchAllRegions(h, low8(lcdNumber), screen, pixels, convert555, FetchProgress{every, onProgress, api});
    }, where);
}

int32_t sendKey(TVX_HANDLE api, uint16_t command, uint32_t lcdNumber, uint16_t key, int32_t state,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea a(command, lcd_input_request::keyBytes);
        a.args()[lcd_input_request::screen] = low8(lcdNumber);
        a.args()[lcd_input_request::keyMarker] = 1;
        putU16(a.args() + lcd_input_request::key, key);
        a.args()[lcd_input_request::keyState] = static_cast<uint8_t>(state);
        return lockedTransact(h, a);
    }, where);
}

int32_t sendMouse(TVX_HANDLE api, uint32_t lcdNumber, int32_t action, uint16_t x, uint16_t y, const uint16_t* extra,
            CallSite where = CallSite::current()) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea a(req::lcdMouse, extra ? lcd_input_request::mouse2Bytes : lcd_input_request::mouseBytes);
        a.args()[lcd_input_request::screen] = low8(lcdNumber);
        a.args()[lcd_input_request::action] = static_cast<uint8_t>(action);
        putU16(a.args() + lcd_input_request::x, x);
        putU16(a.args() + lcd_input_request::y, y);
        if (extra) putU16(a.args() + lcd_input_request::extra, *extra);
        return lockedTransact(h, a);
    }, where);
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_ELcdSetFeature(TVX_HANDLE api, uint16_t featureA, uint16_t featureB,
                                               uint16_t featureC) {
    return withHandle(api, [&](ControllerHandle& h) {
        return setLcdFeatures(h, {featureA, featureB, featureC}) ? rc::ok : rc::osError;
    });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdOpen(TVX_HANDLE api, uint32_t lcdNumber, TVX_LcdScreenInfo* info) {
    if (!info) return refuse(rc::badArgument, "info is NULL");
    return withHandle(api, [&](ControllerHandle& h) {
        uint16_t features[kLcdFeatureCount];
        lcdFeatures(h, features);
        PacketArea a(req::lcdOpen, lcd_open_request::bytes);
        a.args()[lcd_open_request::screen] = low8(lcdNumber);
        putU16(a.args() + lcd_open_request::featureA, features[0]);
        putU16(a.args() + lcd_open_request::featureB, features[1]);
        putU16(a.args() + lcd_open_request::featureC, features[2]);
        putU16(a.args() + lcd_open_request::one1, 1);
        putU16(a.args() + lcd_open_request::one2, 1);
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        info->screenKind = a.data()[lcd_open_reply::screenKind];
        info->bitsPerPixel = a.data()[lcd_open_reply::bitsPerPixel];
        info->width = getU16(a.data() + lcd_open_reply::width);
        info->height = getU16(a.data() + lcd_open_reply::height);
        return rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdClose(TVX_HANDLE api, uint32_t lcdNumber) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea a(req::lcdClose, 1);
        a.args()[0] = low8(lcdNumber);
        return lockedSendOnly(h, a);
    });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheck(TVX_HANDLE api, uint32_t lcdNumber, TVX_LcdRegionList* regions,
                                              TVX_LcdCheckInfo* checkInfo) {
    return withHandle(api, [&](ControllerHandle& h) { return checkLcdRegions(h, low8(lcdNumber), regions, checkInfo); });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet(TVX_HANDLE api, uint32_t lcdNumber, uint32_t regionIndex,
                                            uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                            const TVX_LcdScreen* screen, uint16_t* pixels) {
    return getChunk(api, lcdNumber, regionIndex, position, next, raw, screen, pixels, false);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet2(TVX_HANDLE api, uint32_t lcdNumber, uint32_t regionIndex,
                                             uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                             const TVX_LcdScreen* screen, uint16_t* pixels) {
    return getChunk(api, lcdNumber, regionIndex, position, next, raw, screen, pixels, true);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetEnd(TVX_HANDLE api, uint32_t lcdNumber) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea a(req::lcdData, lcd_data_request::bytes);
        a.args()[lcd_data_request::screen] = low8(lcdNumber);
        a.args()[lcd_data_request::region] = TVX_LCD_END_REGION;
        putU32(a.args() + lcd_data_request::position, lcd_data_request::endPosition);
        const int32_t r = lockedTransact(h, a);
        if (r != rc::ok) return r;
        return getU16(a.data() + image_chunk_reply::length) != 0 ? rc::replyLength : rc::ok;
    });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll(TVX_HANDLE api, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                               uint16_t* pixels) {
    return getAll(api, lcdNumber, screen, pixels, false, 0, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2(TVX_HANDLE api, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                                uint16_t* pixels) {
    return getAll(api, lcdNumber, screen, pixels, true, 0, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll(TVX_HANDLE api, uint32_t lcdNumber, TVX_LcdScreen* screen,
                                                       uint16_t* pixels) {
    return withHandle(api, [&](ControllerHandle& h) { return checkAndFetchAll(h, low8(lcdNumber), screen, pixels, false); });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll2(TVX_HANDLE api, uint32_t lcdNumber,
                                                        TVX_LcdScreen* screen, uint16_t* pixels) {
    return withHandle(api, [&](ControllerHandle& h) { return checkAndFetchAll(h, low8(lcdNumber), screen, pixels, true); });
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAllWithEvents(TVX_HANDLE api, uint32_t lcdNumber,
                                                         const TVX_LcdScreen* screen, uint16_t* pixels,
                                                         int32_t every, TVX_LcdProgressCallback onProgress) {
    return getAll(api, lcdNumber, screen, pixels, false, every, onProgress);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2WithEvents(TVX_HANDLE api, uint32_t lcdNumber,
                                                          const TVX_LcdScreen* screen, uint16_t* pixels,
                                                          int32_t every, TVX_LcdProgressCallback onProgress) {
    return getAll(api, lcdNumber, screen, pixels, true, every, onProgress);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet(TVX_HANDLE api, uint32_t lcdNumber, int32_t action, uint16_t x,
                                             uint16_t y) {
    return sendMouse(api, lcdNumber, action, x, y, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet2(TVX_HANDLE api, uint32_t lcdNumber, int32_t action, uint16_t x,
                                              uint16_t y, uint16_t extra) {
    return sendMouse(api, lcdNumber, action, x, y, &extra);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdKeySet(TVX_HANDLE api, uint32_t lcdNumber, uint16_t key, int32_t state) {
    return sendKey(api, req::lcdKey, lcdNumber, key, state);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdVKeySet(TVX_HANDLE api, uint32_t lcdNumber, uint16_t key, int32_t state) {
    return sendKey(api, req::lcdVirtualKey, lcdNumber, key, state);
}

TVX_API int32_t TVX_STDCALL TVX_ELcdCoderSet(TVX_HANDLE api, uint16_t coderA, uint16_t coderB, int32_t coderC,
                                             int32_t coderD) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea a(req::lcdCoder, lcd_input_request::coderBytes);
        putU16(a.args() + lcd_input_request::coderA, coderA);
        putU16(a.args() + lcd_input_request::coderB, coderB);
        putI32(a.args() + lcd_input_request::coderC, coderC);
        putI32(a.args() + lcd_input_request::coderD, coderD);
        return lockedTransact(h, a);
    });
}

}  // extern "C"
