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
    virtual void sleep(uint32_t ms) = 0;
    // Waits up to `ms` for `event`; true when it was signalled.
    virtual bool waitEvent(platform::Event& event, uint32_t ms) = 0;
};

// The active clock (the system clock unless a test installed another).
Clock& currentClock();
// Installs `c` as the active clock; nullptr restores the system clock.
void setClock(Clock* c);

inline uint32_t tickMs() { return currentClock().now(); }
inline void sleepMs(uint32_t ms) { currentClock().sleep(ms); }
inline uint32_t ticksSince(uint32_t start) { return tickMs() - start; }

}  // namespace tvx
