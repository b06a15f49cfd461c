#include "engine/firmware_service.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kStatusMismatch = 20020;
inline constexpr int32_t kStatusNotSupported = 3205;
inline constexpr uint32_t kLastSection = 0xFFFFFFFF;
inline constexpr size_t kHeaderBytes = 32;

// Start packets (arguments).
inline constexpr size_t kStartAttribute = 2;  // u16, whole payloads
inline constexpr size_t kStartTotal = 4;      // u32, whole payloads
inline constexpr size_t kStartName = 8;
inline constexpr size_t kSectionIndex = 8;      // u32
inline constexpr size_t kSectionAttribute = 12;  // u32
inline constexpr size_t kSectionLength = 16;     // u32
inline constexpr size_t kSectionName = 20;
// Block packets (arguments).
inline constexpr size_t kBlockData = 4;

bool isWhole(uint16_t c) { return c == req::firmwareDown || c == req::firmwareDownAlternate || c == req::firmwarePartDown; }

uint32_t sumOf(const std::vector<uint8_t>& b) {
    uint32_t s = 0;
    for (uint8_t x : b) s += x;
    return s;
}

void startReply(ServiceRequest& r) {
    const TransferSettings& t = r.controller.transfers().settings();
    r.reply.u16(t.largestBlock);
    r.reply.u16(t.window);
}

}  // namespace

bool FirmwareService::serves(uint16_t c) const {
    return isWhole(c) || c == req::firmwareSection || c == req::firmwareCheck || c == req::hardwareTest ||
           c == req::enterBootLoader || c == req::startApplication;
}

bool FirmwareService::streamsBlocks(uint16_t c) const { return isWhole(c) || c == req::firmwareSection; }

void FirmwareService::serve(ServiceRequest& r) {
    int32_t status = 0;
    switch (r.command) {
        case req::firmwareCheck:
            status = check(r);
            break;
        case req::hardwareTest:
            ++hardwareTests_;
            break;
        case req::enterBootLoader:
            bootLoader_ = true;
            r.controller.model().runState = kRunBootLoader;
            break;
        case req::startApplication:
            bootLoader_ = false;
            r.controller.model().runState = kRunStopped;
            break;
        case req::firmwareSection:
            status = section(r);
            break;
        default:
            status = whole(r);
            break;
    }
    r.reply.status(status);
}

int32_t FirmwareService::check(ServiceRequest& r) {
    if (r.n != kHeaderBytes) return kStatusBadRequest;
    if (!judgesHeaders) return kStatusNotSupported;
    return getU32(r.args) == static_cast<uint32_t>(r.controller.model().hardId) ? 0 : kStatusMismatch;
}

int32_t FirmwareService::whole(ServiceRequest& r) {
    if (r.n < kBlockData) return kStatusBadRequest;
    const uint16_t number = getU16(r.args);
    if (number == 0) {
        if (r.n < kStartName + 1) return kStatusBadRequest;
        const uint32_t total = getU32(r.args + kStartTotal);
        if (total == 0) return kStatusBadRequest;
        if (total > kImageCapacity) return kStatusStoreFull;
        attribute_ = getU16(r.args + kStartAttribute);
        receiver_.start(r.command, total);
        r.controller.transfers().reportTransfer(&receiver_.record());
        startReply(r);
        return 0;
    }
    const int32_t s = receiver_.blockRequest(r.command, r.args, r.n);
    if (s != 0 || !receiver_.complete()) return s;
    receiver_.finish();
    Image image;
    image.code = r.command;
    image.attribute = attribute_;
    image.payload = receiver_.data();
    // The flashed image is what a firmware upload returns from now on.
    r.controller.transfers().firmwareImage() = image.payload;
    keep(std::move(image));
    return 0;
}

void FirmwareService::keep(Image image) {
    if (images_.size() >= kKeptImages) images_.erase(images_.begin());
    images_.push_back(std::move(image));
}

int32_t FirmwareService::section(ServiceRequest& r) {
    if (r.n < kBlockData) return kStatusBadRequest;
    const uint16_t number = getU16(r.args);
    if (number == 0) {
        if (r.n < kSectionName + 1) return kStatusBadRequest;
        const uint32_t index = getU32(r.args + kSectionIndex);
        const uint32_t length = getU32(r.args + kSectionLength);
        // Sections arrive in order: 0, 1, ... and the last marked apart. A
        // new first section starts a new image.
        if (index == 0 || (nextIndex_ == 0 && index == kLastSection)) {
            pending_ = Image{};
            pending_.code = r.command;
            nextIndex_ = 0;
        }
        if (length == 0 || (index != kLastSection && index != nextIndex_)) return kStatusBadRequest;
        uint64_t held = 0;
        for (const Section& s : pending_.sections) held += s.data.size();
        if (pending_.sections.size() >= kMaxSections || length > kImageCapacity - std::min<uint64_t>(held, kImageCapacity))
            return kStatusStoreFull;
        current_ = Section{};
        current_.index = index;
        current_.attribute = getU32(r.args + kSectionAttribute);
        const char* name = reinterpret_cast<const char*>(r.args + kSectionName);
        current_.name.assign(name, strnlen(name, r.n - kSectionName));
        receiver_.start(r.command, length);
        r.controller.transfers().reportTransfer(&receiver_.record());
        startReply(r);
        return 0;
    }
    const int32_t s = receiver_.blockRequest(r.command, r.args, r.n);
    if (s != 0 || !receiver_.complete()) return s;
    receiver_.finish();
    current_.data = receiver_.data();
    current_.checksum = sumOf(current_.data);
    pending_.sections.push_back(std::move(current_));
    if (pending_.sections.back().index == kLastSection) {
        keep(std::move(pending_));
        pending_ = Image{};
        nextIndex_ = 0;
    } else {
        ++nextIndex_;
    }
    return 0;
}

}  // namespace tvx::sim
