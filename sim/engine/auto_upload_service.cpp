#include "engine/auto_upload_service.h"

#include <algorithm>
#include <string>

#include "channel/request_codes.h"
#include "engine/controller.h"

namespace tvx::sim {
namespace {

bool pushing(Controller& c) {
    return c.console().interpreter().variables().autoUploadPort && c.model().runState == kRunRunning;
}

}  // namespace

void AutoUploadService::takePushes(Controller& c, uint32_t nowMs, std::vector<PushedPacket>& out) {
    if (!pushing(c)) {
        armed_ = false;
        return;
    }
    if (!armed_) {
        armed_ = true;
        dueMs_ = nowMs;
    }
    if (static_cast<int32_t>(dueMs_ - nowMs) > 0) return;
    dueMs_ = nowMs + kPeriodMs;
    const ControllerModel& m = c.model();
    for (int task = 0; task < kTasks; ++task) {
        if (m.tasks[task].state != kRunRunning) continue;
        const std::string line =
            (m.tasks[task].text.empty() ? std::string("task") : m.tasks[task].text) + ": pass " + std::to_string(++lines_) + "\n";
        out.push_back(PushedPacket{c.consoleOrigin(), req::pushedText, task, std::vector<uint8_t>(line.begin(), line.end())});
    }
}

uint32_t AutoUploadService::msUntilPush(uint32_t nowMs, uint32_t idleMs) const {
    if (!armed_) return idleMs;  // the next takePushes arms it within idleMs
    return std::min(idleMs, static_cast<uint32_t>(std::max(static_cast<int32_t>(dueMs_ - nowMs), 0)));
}

}  // namespace tvx::sim
