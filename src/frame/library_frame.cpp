#include "frame/library_frame.h"

#include <cstdio>

#include "base/archive_cipher.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "display/display_state.h"
#include "frame/trace_setup.h"
#include "link/handle_table.h"
#include "monitoring/cycle_buffer.h"
#include "platform/platform.h"

namespace tvx {
namespace {

int32_t refuseLoad(const char* message, int32_t code) {
    platform::showLoadFailure(message);
    setLoadResult(code);
    return code;
}

}  // namespace

int32_t libraryLoad() {
    if (!platform::initSockets()) return refuseLoad(kSocketsFailureMessage, rc::osError);
    initDebugOutput();
    setDebugLevel(kLoadDebugLevel);
    const int32_t cipher = initArchiveCipher();
    if (cipher != rc::ok) return refuseLoad(kCipherFailureMessage, cipher);
    installDisplayExtension();
    installCycleUpload();
    // The handle table builds itself (and its semaphore) on first use.
    startTraceFromEnvironment();
    setLoadResult(rc::ok);
    return rc::ok;
}

void libraryUnload() {
    destroyAllHandles();
    stopTrace();
    platform::shutdownSockets();
}

int32_t libraryLoadResult() { return loadResult(); }

void formatFileVersion(uint32_t mostSignificant, uint32_t leastSignificant, char* out) {
    std::snprintf(out, 16, "%d.%d.%d.%d", static_cast<int>((mostSignificant >> 16) & 0xFF),
                  static_cast<int>(mostSignificant & 0xFF), static_cast<int>((leastSignificant >> 16) & 0xFF),
                  static_cast<int>(leastSignificant & 0xFF));
}

}  // namespace tvx

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_GetDllVersion(char* out) {
    if (out == nullptr) return tvx::refuse(tvx::rc::badArgument, "out is NULL");
    uint32_t most = 0;
    uint32_t least = 0;
    if (!tvx::platform::moduleFileVersion(&most, &least)) return tvx::rc::osError;
    tvx::formatFileVersion(most, least, out);
    return tvx::rc::ok;
}

}  // extern "C"
