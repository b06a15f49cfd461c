// The clock the library reads. Production uses the system tick; tests
// install a virtual clock so that retry schedules and idle expiry run
// without waiting on real time.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tvx {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t now() = 0;
    // Microseconds on the same monotonic scale, for measuring round trips
    // shorter than a tick. A clock that only knows milliseconds reports
    // them scaled.
    virtual uint64_t nowMicros() { return static_cast<uint64_t>(now()) * 1000u; }
    virtual void sleep(uint32_t ms) = 0;
    // Waits up to `ms` for `event`; true when it was signalled.
    virtual bool waitEvent(platform::Event& event, uint32_t ms) = 0;
};

// The active clock (the system clock unless a test installed another).
Clock& currentClock();
// Installs `c` as the active clock; nullptr restores the system clock.
void setClock(Clock* c);
// True while no test clock is installed: waits in system calls then run on
// the same time as the clock.
bool systemClockActive();

inline uint32_t tickMs() { return currentClock().now(); }
inline void sleepMs(uint32_t ms) { currentClock().sleep(ms); }
inline uint32_t ticksSince(uint32_t start) { return tickMs() - start; }
inline uint64_t tickMicros() { return currentClock().nowMicros(); }

}  // namespace tvx
