// Absolute CLOCK_MONOTONIC deadlines for timed condition waits.
#pragma once

#include <time.h>

#include <cstdint>

namespace tvx::platform {

inline timespec deadlineAfter(uint32_t ms) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += static_cast<time_t>(ms / 1000);
    ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

}  // namespace tvx::platform
