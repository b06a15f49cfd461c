// Output of running programs pushed to the host (function 73, command 400)
// while the interpreter's IFAUTOUP_PORT is 1. The simulator does not run
// program text: each running task prints a line every `kPeriodMs`, sent to
// the host that last gave the controller a command.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/service.h"

namespace tvx::sim {

class AutoUploadService : public Service {
public:
    static constexpr uint32_t kPeriodMs = 500;

    bool serves(uint16_t) const override { return false; }
    void serve(ServiceRequest&) override {}
    void reset() override { *this = AutoUploadService{}; }
    void takePushes(Controller& c, uint32_t nowMs, std::vector<PushedPacket>& out) override;
    uint32_t msUntilPush(uint32_t nowMs, uint32_t idleMs) const override;

private:
    bool armed_ = false;  // pushing, with the next line due at dueMs_
    uint32_t dueMs_ = 0;
    uint32_t lines_ = 0;
};

}  // namespace tvx::sim
