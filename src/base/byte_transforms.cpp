#include "base/byte_transforms.h"

#include "base/result_codes.h"

namespace tvx {

int32_t byteMirror(uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(2 - buffer[i]);
    return rc::ok;
}

int32_t firmwareXor(uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i) buffer[i] ^= kFirmwareXorMask;
    return rc::ok;
}

}  // namespace tvx
