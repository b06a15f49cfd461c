#include "packaging/byte_transforms.h"

#include "base/result_codes.h"
#include "tavrix.h"

namespace tvx {

int32_t byteMirror(uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(2 - buffer[i]);
    return rc::ok;
}

int32_t firmwareXor(uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[i] ^= kFirmwareXorMask;
    return rc::ok;
}

namespace {
int32_t hmiTransform(uint8_t* buffer, uint32_t length) {
    if (length == 0) return rc::ok;
    if (buffer == nullptr) return rc::badArgument;
    return byteMirror(buffer, length);
}
}  // namespace

}  // namespace tvx

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_HmiFileEncode(uint8_t* buffer, uint32_t length) {
    return tvx::hmiTransform(buffer, length);
}

TVX_API int32_t TVX_STDCALL TVX_HmiFileDecode(uint8_t* buffer, uint32_t length) {
    return tvx::hmiTransform(buffer, length);
}

}  // extern "C"
