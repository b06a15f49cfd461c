// HMI file images are stored mirrored byte by byte; encoding and decoding
// are the same transform.
#include "base/byte_transforms.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "tavrix.h"

namespace tvx {
namespace {
int32_t hmiTransform(uint8_t* buffer, uint32_t length) {
    if (length == 0) return rc::ok;
    if (buffer == nullptr) return refuse(rc::badArgument, "buffer is NULL");
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
