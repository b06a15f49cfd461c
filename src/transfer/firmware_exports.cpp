// Firmware update: checking images, sending them whole or section by
// section, and the requests that go with an update (hardware test, boot
// loader and application).
#include <cstring>

#include "api/requests.h"
#include "base/debug_output.h"
#include "base/whole_file.h"
#include "channel/request_codes.h"
#include "transfer/block_transfer.h"
#include "transfer/firmware_image.h"

using namespace tvx;

namespace {

inline constexpr uint32_t kLastSectionIndex = 0xFFFFFFFF;

// Start packet of one section: request arguments.
namespace section_start_request {
inline constexpr size_t block = 0;             // u16, 0
inline constexpr size_t reserved = 2;          // u16, 0
inline constexpr size_t transferAttribute = 4;  // u32, 0
inline constexpr size_t index = 8;             // u32, 0xFFFFFFFF for the last section
inline constexpr size_t attribute = 12;        // u32, the descriptor's
inline constexpr size_t length = 16;           // u32 section bytes
inline constexpr size_t name = 20;             // text with its 0 byte
}  // namespace section_start_request

int32_t sendSection(ControllerHandle& h, const FirmwareImage& image, const FirmwareSection& s, uint32_t index,
                    uint64_t before) {
    PacketArea p(image.code, static_cast<uint32_t>(section_start_request::name + s.nameLength + 1));
    putU16(p.args() + section_start_request::block, 0);
    putU16(p.args() + section_start_request::reserved, 0);
    putU32(p.args() + section_start_request::transferAttribute, 0);
    putU32(p.args() + section_start_request::index, index);
    putU32(p.args() + section_start_request::attribute, s.attribute);
    putU32(p.args() + section_start_request::length, s.length);
    std::memcpy(p.args() + section_start_request::name, s.name, s.nameLength);
    int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    // Sections keep the controller's window on serial links too.
    BlockPlan plan;
    r = planDownload(h, p, false, plan);
    if (r != rc::ok) return r;
    return sendBlocks(h, transferStream(image.code), plan, image.payload + s.offset, s.length,
                      ProgressSpan{before, image.sectionTotal});
}

int32_t downloadSections(ControllerHandle& h, const FirmwareImage& image) {
    ProgressReset progress(h);
    progress.set(0, image.sectionTotal);
    uint64_t done = 0;
    const size_t count = image.sections.size();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t index = i + 1 == count ? kLastSectionIndex : static_cast<uint32_t>(i);
        const int32_t r = sendSection(h, image, image.sections[i], index, done);
        if (r != rc::ok) return r;
        done += image.sections[i].length;
    }
    return rc::ok;
}

// Compares the controller's hardware identifier with the image's (20020 on
// a mismatch), then sends the payload: in one transfer, or section by
// section with progress over all of them.
int32_t downloadFirmware(ControllerHandle& h, const FirmwareImage& image) {
    int32_t hardwareId = 0;
    int32_t r = query(h, req::hardId, &hardwareId);
    if (r != rc::ok) return r;
    if (static_cast<uint32_t>(hardwareId) != image.hardwareId) return rc::firmwareMismatch;
    if (image.type == firmware_type::sectioned) return downloadSections(h, image);
    return downloadBlocks(h, image.code, image.attribute, image.payload, image.payloadLength, nullptr);
}

int32_t readImageFile(const char* path, ByteBuffer& file) {
    if (!path) return refuse(rc::badArgument, "path is NULL");
    return readWholeFile(path, &file);
}

int32_t checkFirmware(ControllerHandle& h, const char* path) {
    ByteBuffer file;
    int32_t r = readImageFile(path, file);
    if (r != rc::ok) return r;
    const ImageCheck c = checkFirmwareHeader(file.data(), file.size());
    if (!c) return c.code;
    // The controller judges the header; one that cannot leaves the
    // comparison of hardware identifiers to the library.
    r = requestWithData(h, req::firmwareCheck, file.data(), firmware_header::bytes);
    if (r != rc::notSupported) return r;
    int32_t hardwareId = 0;
    r = query(h, req::hardId, &hardwareId);
    if (r != rc::ok) return r;
    return static_cast<uint32_t>(hardwareId) == getU32(file.data() + firmware_header::hardwareId) ? rc::ok
                                                                                           : rc::firmwareMismatch;
}

int32_t flashFirmware(ControllerHandle& h, const char* path) {
    ByteBuffer file;
    const int32_t r = readImageFile(path, file);
    if (r != rc::ok) return r;
    FirmwareImage image;
    const ImageCheck c = prepareFirmwareImage(file.data(), file.size(), image);
    if (!c) return c.code;
    return downloadFirmware(h, image);
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_CheckFirmWare(TVX_HANDLE api, const char* path) {
    return withHandle(api, [&](ControllerHandle& h) { return checkFirmware(h, path); });
}

TVX_API int32_t TVX_STDCALL TVX_DownFirmWare(TVX_HANDLE api, const char* path) {
    return withHandle(api, [&](ControllerHandle& h) { return flashFirmware(h, path); });
}

TVX_API int32_t TVX_STDCALL TVX_StartHardwareTest(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::hardwareTest); });
}

TVX_API int32_t TVX_STDCALL TVX_JumpApp(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::startApplication); });
}

TVX_API int32_t TVX_STDCALL TVX_JumpNbios(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::enterBootLoader); });
}

}  // extern "C"
