// What a locked controller refuses. The lock itself is the interpreter's
// (the command lines Lock(PASSWORD) and UnLock(PASSWORD)); while it is set,
// the program files and the debugger are closed to the host: file and
// archive transfers, deletion, breakpoints, steps and locals get status
// 223 ("Controller is Locked."). Variables, arrays, I/O, queries and
// running the stored programs stay open.
#pragma once

#include <cstdint>

#include "engine/service.h"

namespace tvx::sim {

inline constexpr int32_t kStatusLocked = 223;

class LockGate : public Service {
public:
    bool serves(uint16_t) const override { return false; }
    void serve(ServiceRequest&) override {}
    void reset() override { *this = LockGate{}; }
    int32_t refusal(Controller& controller, uint16_t command) override;
    // True for the requests a locked controller refuses.
    static bool closedWhenLocked(uint16_t command);
};

}  // namespace tvx::sim
