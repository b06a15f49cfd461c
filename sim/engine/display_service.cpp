#include "engine/display_service.h"

#include <algorithm>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "platform/clock.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kBadRequest = 3204;
inline constexpr int32_t kNoSuchImage = 3205;
inline constexpr uint8_t kScreenKind = 1;
inline constexpr uint8_t kBitsPerPixel = 16;
inline constexpr size_t kChunkHeader = 8;      // next position, kind, length
inline constexpr size_t kMostEncoded = 2046;   // whole runs within 2048 bytes
inline constexpr uint32_t kDescribe = 0xFFFFFFFFu;
inline constexpr uint8_t kEndOfPass = 100;

// A chunk reply: next position, kind 1, length, then the runs of `region`.
void chunkReply(ServiceRequest& r, const PixelImage& image, const PixelRect& region, uint32_t position) {
    uint8_t runs[kMostEncoded];
    const size_t room = r.room > kChunkHeader ? std::min(r.room - kChunkHeader, kMostEncoded) : 0;
    uint32_t next = position;
    const size_t n = encodeRuns(image, region, position, room, runs, &next);
    r.reply.u32(next);
    r.reply.u16(1);
    r.reply.u16(static_cast<uint16_t>(n));
    r.reply.bytes(runs, n);
}

void emptyChunk(ServiceRequest& r, uint32_t position) {
    r.reply.u32(position);
    r.reply.u16(1);
    r.reply.u16(0);
}

}  // namespace

DisplayService::DisplayService() : startTick_(tickMs()) {}

void DisplayService::reset() {
    static const DisplayService first;
    *this = first;
    startTick_ = tickMs();
}

bool DisplayService::serves(uint16_t c) const {
    return c == req::lcdMouse || c == req::lcdKey || c == req::lcdVirtualKey || c == req::lcdClose ||
           c == req::lcdOpen || c == req::lcdCheck || c == req::lcdData || c == req::visionImage ||
           c == req::lcdCoder;
}

void DisplayService::serve(ServiceRequest& r) {
    const uint8_t* a = r.args;
    switch (r.command) {
        case req::lcdOpen:
            if (r.n < 1) return r.reply.status(kBadRequest);
            open_ = true;
            panel_.invalidate();
            r.reply.u8(kScreenKind);
            r.reply.u8(kBitsPerPixel);
            r.reply.u16(0);
            r.reply.u16(static_cast<uint16_t>(panel_.frame().width()));
            r.reply.u16(static_cast<uint16_t>(panel_.frame().height()));
            return;
        case req::lcdClose:
            open_ = false;
            return;
        case req::lcdCheck:
            return check(r);
        case req::lcdData:
            return fetch(r);
        case req::lcdMouse:
            return touch(r);
        case req::lcdKey:
        case req::lcdVirtualKey:
            if (r.n < 5) return r.reply.status(kBadRequest);
            panel_.key(r.command == req::lcdVirtualKey, getU16(a + 2), a[4]);
            return;
        case req::lcdCoder:
            if (r.n < 12) return r.reply.status(kBadRequest);
            panel_.encoder(getU16(a), getU16(a + 2), getI32(a + 4), getI32(a + 8));
            return;
        case req::visionImage:
            return image(r);
        default:
            return;
    }
}

void DisplayService::check(ServiceRequest& r) {
    PanelValues v;
    v.uptimeSeconds = (tickMs() - startTick_) / 1000;
    v.running = r.controller.model().runState != 0;
    auto& vr = r.controller.console().interpreter().variables().vr();
    for (size_t i = 0; i < 3 && i < vr.size(); ++i) v.vr[i] = vr[i];
    const std::vector<PixelRect> regions = panel_.check(v);
    uint8_t data[10] = {};
    data[1] = static_cast<uint8_t>(regions.size());
    data[9] = open_ ? 1 : 0;
    r.reply.bytes(data, sizeof data);
    for (const PixelRect& g : regions) {
        r.reply.u16(static_cast<uint16_t>(g.x));
        r.reply.u16(static_cast<uint16_t>(g.y));
        r.reply.u16(static_cast<uint16_t>(g.width));
        r.reply.u16(static_cast<uint16_t>(g.height));
    }
}

void DisplayService::fetch(ServiceRequest& r) {
    if (r.n < 8) return r.reply.status(kBadRequest);
    const uint8_t index = r.args[1];
    const uint32_t position = getU32(r.args + 4);
    // The end of a pass, or a region the last check did not report: no data.
    if (index == kEndOfPass || index >= panel_.regions().size()) return emptyChunk(r, position);
    ++fetches_;
    chunkReply(r, panel_.frame(), panel_.regions()[index], position);
}

void DisplayService::image(ServiceRequest& r) {
    if (r.n < 8) return r.reply.status(kBadRequest);
    const uint16_t number = getU16(r.args);
    const uint32_t position = getU32(r.args + 4);
    const PixelImage* picture = cameras_.find(number);
    if (!picture) return r.reply.status(kNoSuchImage);
    if (position == kDescribe) {
        r.reply.u16(static_cast<uint16_t>(picture->width()));
        r.reply.u16(static_cast<uint16_t>(picture->height()));
        r.reply.u16(kBitsPerPixel);
        r.reply.u16(0);
        r.reply.u32(number);  // the further value: the image's number
        return;
    }
    chunkReply(r, *picture, picture->bounds(), position);
}

void DisplayService::touch(ServiceRequest& r) {
    if (r.n < 6) return r.reply.status(kBadRequest);
    auto& model = r.controller.model();
    auto& vr = r.controller.console().interpreter().variables().vr();
    switch (panel_.touch(r.args[1], getU16(r.args + 2), getU16(r.args + 4))) {
        case TouchAction::run:
            model.runState = 1;
            break;
        case TouchAction::stop:
            model.runState = 0;
            break;
        case TouchAction::increment:
            if (!vr.empty()) vr[0] += 1;
            break;
        case TouchAction::reset:
            if (!vr.empty()) vr[0] = 0;
            break;
        case TouchAction::none:
            break;
    }
}

}  // namespace tvx::sim
