#include "platform/clock.h"

#include <atomic>

#include "base/trace.h"

namespace tvx {
namespace {

class SystemClock final : public Clock {
public:
    uint32_t now() override { return platform::systemTickMs(); }
    uint64_t nowMicros() override { return platform::monotonicNanos() / 1000u; }
    void sleep(uint32_t ms) override { platform::systemSleepMs(ms); }
    bool waitEvent(platform::Event& event, uint32_t ms) override { return event.waitFor(ms); }
};

SystemClock systemClock;
std::atomic<Clock*> activeClock{&systemClock};

}  // namespace

Clock& currentClock() { return *activeClock.load(std::memory_order_acquire); }

void setClock(Clock* c) { activeClock.store(c ? c : &systemClock, std::memory_order_release); }

bool systemClockActive() { return activeClock.load(std::memory_order_acquire) == &systemClock; }

}  // namespace tvx
