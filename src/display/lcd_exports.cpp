// The remote LCD exports: session open and close, changed regions and their
// pixels, touch, key and encoder input. Fetching the changed pixels is the
// check for changed regions, one chunk of a region, and every listed region
// in turn.
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/packet_area.h"
#include "channel/request_codes.h"
#include "display/display_packets.h"
#include "display/display_state.h"
#include "display/pixel_runs.h"
#include "link/locked_transact.h"

namespace tvx {
namespace {

// What a chunk fetch delivers: any of the three may be null (not raw and
// pixels both); pixels need the screen.
struct ChunkSink {
    uint32_t* next = nullptr;
    TVX_LcdRawChunk* raw = nullptr;
    const TVX_LcdScreen* screen = nullptr;
    uint16_t* pixels = nullptr;
    bool convert555 = false;
};

// Progress between continuation fetches: `onProgress` is called before every
// `every`-th continuation (never when null or `every` is 0 or less).
struct FetchProgress {
    int32_t every = 0;
    TVX_LcdProgressCallback onProgress = nullptr;
    TVX_HANDLE api = nullptr;
};

// The encoded bytes a chunk reply claims, refused when over the limit or
// beyond what the reply carries.
int32_t chunkLength(const PacketArea& a, uint32_t* length) {
    const uint32_t n = getU16(a.data() + image_chunk_reply::length);
    const uint32_t carried = a.dataLength() > image_chunk_reply::encoded ? a.dataLength() - image_chunk_reply::encoded : 0;
    if (n > kMaxEncodedBytes || n > carried) return rc::replyLength;
    *length = n;
    return rc::ok;
}

int32_t paintFetchedChunk(const PacketArea& a, uint32_t regionSlot, uint32_t position, const ChunkSink& sink) {
    const TVX_LcdScreen& s = *sink.screen;
    if (getU16(a.data() + image_chunk_reply::kind) != image_chunk_reply::encodedPixels) return rc::chunkKind;
    if (s.info.bitsPerPixel != 16) return rc::pixelDepth;
    if (regionSlot >= TVX_LCD_MAX_REGIONS || s.regions.count > TVX_LCD_MAX_REGIONS || s.info.width <= 0 ||
        s.info.height <= 0)
        return refuse(rc::badArgument, "the screen record's regions or sizes are out of range");
    uint32_t length = 0;
    if (const int32_t r = chunkLength(a, &length); r != rc::ok) return r;
    if (length == 0) return rc::ok;

    const TVX_LcdRegion& region = s.regions.regions[regionSlot];
    const uint32_t left = region.x;
    const PaintTarget target{sink.pixels, static_cast<uint32_t>(s.info.width), static_cast<uint32_t>(s.info.height),
                             left, left + region.width, sink.convert555};
    return paintRegionChunk(target, region.y, position, a.data() + image_chunk_reply::encoded, length);
}

int32_t checkLcdRegions(ControllerHandle& h, uint8_t screen, TVX_LcdRegionList* regions, TVX_LcdCheckInfo* info) {
    if (!regions && !info) return refuse(rc::badArgument, "regions and info are both NULL");
    PacketArea a(req::lcdCheck, lcd_check_request::bytes);
    a.args()[0] = screen;
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    const uint8_t* d = a.data();
    if (regions) {
        const uint8_t count = d[lcd_check_reply::regionCount];
        regions->count = count;
        if (count > TVX_LCD_MAX_REGIONS) return rc::replyLength;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = d + lcd_check_reply::firstRegion + i * lcd_check_reply::regionBytes;
            regions->regions[i] = {getU16(p), getU16(p + 2), getU16(p + 4), getU16(p + 6)};
        }
    }
    if (info) {
        const uint8_t flags = d[lcd_check_reply::flags];
        const int32_t values[9] = {d[0], d[2], d[3], getU16(d + 4), d[6], d[7], d[8], flags & 1, (flags >> 1) & 1};
        std::memcpy(info->entries, values, sizeof values);
    }
    return rc::ok;
}

int32_t fetchLcdChunk(ControllerHandle& h, uint8_t screen, uint8_t regionIndex, uint32_t regionSlot,
                      uint32_t position, const ChunkSink& sink) {
    if (!sink.raw && !sink.pixels) return refuse(rc::badArgument, "neither a raw nor a pixel buffer was given");
    PacketArea a(req::lcdData, lcd_data_request::bytes);
    a.args()[lcd_data_request::screen] = screen;
    a.args()[lcd_data_request::region] = regionIndex;
    putU32(a.args() + lcd_data_request::position, position);
    const int32_t r = lockedTransact(h, a);
    if (r != rc::ok) return r;
    if (sink.next) *sink.next = getU32(a.data() + image_chunk_reply::next);
    if (sink.raw) {
        sink.raw->kind = getU16(a.data() + image_chunk_reply::kind);
        sink.raw->length = getU16(a.data() + image_chunk_reply::length);
        uint32_t length = 0;
        if (const int32_t c = chunkLength(a, &length); c != rc::ok) return c;
        std::memcpy(sink.raw->data, a.data() + image_chunk_reply::encoded, length);
    }
    if (!sink.pixels) return rc::ok;
    if (!sink.screen) return refuse(rc::badArgument, "sink.screen is NULL");
    return paintFetchedChunk(a, regionSlot, position, sink);
}

int32_t fetchAllRegions(ControllerHandle& h, uint8_t screen, const TVX_LcdScreen* target, uint16_t* pixels,
                        bool convert555, const FetchProgress& progress) {
    if (!target) return refuse(rc::badArgument, "target is NULL");
    const int32_t count = target->regions.count;
    if (count <= 0) return rc::ok;
    if (count > TVX_LCD_MAX_REGIONS) return refuse(rc::badArgument, "more regions than TVX_LCD_MAX_REGIONS");
    // A region never needs more chunks than the buffer has pixels: a
    // controller that keeps answering with further positions is refused.
    const uint64_t chunkLimit =
        static_cast<uint64_t>(target->info.width > 0 ? target->info.width : 0) *
            static_cast<uint64_t>(target->info.height > 0 ? target->info.height : 0) + 1;
    int32_t continuations = 0;
    for (int32_t i = 0; i < count; ++i) {
        const TVX_LcdRegion& region = target->regions.regions[i];
        uint32_t position = (static_cast<uint32_t>(region.y) << 16) + region.x;
        for (uint64_t chunks = 1;; ++chunks) {
            if (chunks > chunkLimit) return rc::replyLength;
            uint32_t next = 0;
            ChunkSink sink;
            sink.next = &next;
            sink.screen = target;
            sink.pixels = pixels;
            sink.convert555 = convert555;
            const int32_t r = fetchLcdChunk(h, screen, static_cast<uint8_t>(i), static_cast<uint32_t>(i), position, sink);
            if (r != rc::ok) return r;
            // The controller ends a region with a position not past the one asked for.
            if (next <= position) break;
            position = next;
            if (progress.every > 0 && ++continuations >= progress.every) {
                continuations = 0;
                if (progress.onProgress) progress.onProgress(progress.api);
            }
        }
    }
    return rc::ok;
}

int32_t checkAndFetchAll(ControllerHandle& h, uint8_t screen, TVX_LcdScreen* target, uint16_t* pixels,
                         bool convert555) {
    if (!target) return refuse(rc::badArgument, "target is NULL");
    TVX_LcdRegionList changed{};
    const int32_t r = checkLcdRegions(h, screen, &changed, nullptr);
    if (r != rc::ok) return r;
    target->regions.count = changed.count;
    if (changed.count == 0) return rc::ok;
    std::memcpy(target->regions.regions, changed.regions, sizeof changed.regions);
    return fetchAllRegions(h, screen, target, pixels, convert555, FetchProgress{});
}

}  // namespace
}  // namespace tvx

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
