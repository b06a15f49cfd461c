// A virtual clock for tests: time moves only when the code under test waits
// or sleeps, so retry schedules and expiry run without real waiting.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace tvx::testing {

class TestClock final : public Clock {
public:
    explicit TestClock(uint32_t start = 1000) : now_(start) {}
    uint32_t now() override { return now_.load(); }
    void sleep(uint32_t ms) override { advance(ms); }
    bool waitEvent(platform::Event& event, uint32_t ms) override {
        if (event.waitFor(0)) return true;
        waited_ += ms;
        advance(ms);
        return false;
    }
    void advance(uint32_t ms) { now_.fetch_add(ms); }
    void set(uint32_t t) { now_.store(t); }
    // Total of the waits that ended without a signal.
    uint64_t waitedMs() const { return waited_.load(); }

private:
    std::atomic<uint32_t> now_;
    std::atomic<uint64_t> waited_{0};
};

// Installs a clock for the lifetime of the object.
class ScopedClock {
public:
    explicit ScopedClock(Clock& c) { setClock(&c); }
    ~ScopedClock() { setClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace tvx::testing
