#include "base/trace.h"
#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace tvx::platform {

uint32_t systemTickMs() { return GetTickCount(); }

void systemSleepMs(uint32_t ms) { Sleep(boundedWait(ms)); }

uint64_t monotonicNanos() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
    const uint64_t perSecond = static_cast<uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000000u + ticks % perSecond * 1000000000u / perSecond;
}

void pauseBriefly() { Sleep(1); }

// A thread is only ever ended here by TerminateThread, which nothing holds
// off; there is no state to keep.
int holdCancellation() { return 0; }
void restoreCancellation(int) {}

}  // namespace tvx::platform
