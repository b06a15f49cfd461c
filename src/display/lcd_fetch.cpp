#include "base/debug_output.h"
#include "display/lcd_fetch.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/packet_area.h"
#include "channel/request_codes.h"
#include "display/display_packets.h"
#include "display/pixel_runs.h"
#include "link/locked_transact.h"

namespace tvx {
namespace {

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

}  // namespace

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

}  // namespace tvx
