#include <pthread.h>
#include <time.h>

#include <cerrno>

#include "base/trace.h"
#include "platform/platform.h"

namespace tvx::platform {

uint32_t systemTickMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void systemSleepMs(uint32_t ms) {
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
}

}  // namespace tvx::platform

namespace tvx::platform {

uint64_t monotonicNanos() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

void pauseBriefly() { systemSleepMs(1); }

int holdCancellation() {
    int previous = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
    return previous;
}

void restoreCancellation(int previous) { pthread_setcancelstate(previous, nullptr); }

}  // namespace tvx::platform
