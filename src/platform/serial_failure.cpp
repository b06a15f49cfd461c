#include <cstdio>

#include "platform/serial_port.h"

namespace tvx::platform {
namespace {
inline constexpr size_t kFailureChars = 256;
thread_local char t_failure[kFailureChars] = {};
}  // namespace

const char* lastSerialFailure() { return t_failure; }

void noteSerialFailure(uint32_t port, const char* device, bool mapped, const char* reason) {
    if (mapped)
        std::snprintf(t_failure, sizeof t_failure, "COM%u is %s (TAVRIX_COM%u): %s", port, device, port, reason);
    else
        std::snprintf(t_failure, sizeof t_failure, "COM%u is %s: %s", port, device, reason);
}

void clearSerialFailure() { t_failure[0] = 0; }

}  // namespace tvx::platform
