// The gateway's counters, published as JSON on the broker and as
// Prometheus text on the optional HTTP endpoint.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tvx::gateway {

struct Metrics {
    std::atomic<uint64_t> messagesOut{0};   // publications handed to the broker connection
    std::atomic<uint64_t> writes{0};        // set and exec requests carried out on a controller
    std::atomic<uint64_t> refusals{0};      // requests answered with a refusal, never sent on
    std::atomic<uint64_t> failures{0};      // requests sent on that the controller or link failed
    std::atomic<uint64_t> reconnects{0};    // broker connections made again after a loss
    std::atomic<uint64_t> dropped{0};       // value messages not sent because the broker was away
    std::atomic<uint64_t> reopens{0};       // controller links opened again after going offline
    std::atomic<uint32_t> online{0};        // controllers online now
    uint32_t controllers = 0;               // controllers configured
};

std::string metricsJson(const Metrics& m, int64_t nowMs);
// Prometheus text exposition; `gateway` labels every sample.
std::string metricsPrometheus(const Metrics& m, const std::string& gateway);

}  // namespace tvx::gateway
