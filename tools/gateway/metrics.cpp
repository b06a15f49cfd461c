#include "metrics.h"

#include <nlohmann/json.hpp>

namespace tvx::gateway {

std::string metricsJson(const Metrics& m, int64_t nowMs) {
    nlohmann::json j = {{"t", nowMs},
                        {"messages_out", m.messagesOut.load()},
                        {"writes", m.writes.load()},
                        {"refusals", m.refusals.load()},
                        {"failures", m.failures.load()},
                        {"reconnects", m.reconnects.load()},
                        {"dropped", m.dropped.load()},
                        {"reopens", m.reopens.load()},
                        {"controllers_online", m.online.load()},
                        {"controllers", m.controllers}};
    return j.dump();
}

std::string metricsPrometheus(const Metrics& m, const std::string& gateway) {
    struct Sample {
        const char* name;
        const char* type;
        const char* help;
        uint64_t value;
    };
    const Sample samples[] = {
        {"tavrix_gateway_messages_out_total", "counter", "Messages handed to the broker.", m.messagesOut.load()},
        {"tavrix_gateway_writes_total", "counter", "Set and exec requests carried out.", m.writes.load()},
        {"tavrix_gateway_refusals_total", "counter", "Requests refused without reaching a controller.",
         m.refusals.load()},
        {"tavrix_gateway_failures_total", "counter", "Requests the controller or its link failed.", m.failures.load()},
        {"tavrix_gateway_reconnects_total", "counter", "Broker connections made again after a loss.",
         m.reconnects.load()},
        {"tavrix_gateway_dropped_total", "counter", "Value messages dropped while the broker was away.",
         m.dropped.load()},
        {"tavrix_gateway_reopens_total", "counter", "Controller links reopened after going offline.", m.reopens.load()},
        {"tavrix_gateway_controllers_online", "gauge", "Controllers online now.", m.online.load()},
        {"tavrix_gateway_controllers", "gauge", "Controllers configured.", m.controllers},
    };
    std::string out;
    for (const Sample& s : samples) {
        out += std::string("# HELP ") + s.name + " " + s.help + "\n# TYPE " + s.name + " " + s.type + "\n";
        out += std::string(s.name) + "{gateway=\"" + gateway + "\"} " + std::to_string(s.value) + "\n";
    }
    return out;
}

}  // namespace tvx::gateway
