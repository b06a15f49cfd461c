// Firmware update: checking and downloading images, and the requests that
// go with an update (hardware test, boot loader and application).
#include "api/requests.h"
#include "base/debug_output.h"
#include "base/whole_file.h"
#include "channel/request_codes.h"
#include "transfer/firmware_download.h"
#include "transfer/firmware_image.h"

using namespace tvx;

namespace {

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
    r = queryInt(h, req::hardId, &hardwareId);
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
