// The gateway's configuration file (TOML): the broker, the gateway's own
// settings and one table per controller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "items.h"

namespace tvx::gateway {

struct BrokerConfig {
    std::string host;
    uint16_t port = 1883;
    bool tls = false;
    std::string clientId;  // also the gateway's ID in topics
    std::string prefix = "tavrix";
    std::string username;
    std::string password;  // read from password_file
    std::string caFile;
    uint32_t keepaliveS = 10;
};

// Values read by request every `periodMs`, published on PREFIX/NAME/polled.
struct PollGroup {
    std::string items;
    std::vector<Column> columns;
    uint32_t periodMs = 1000;
};

struct ControllerConfig {
    std::string name;
    std::string address;
    std::string watch;  // empty: no cycle upload
    std::vector<Column> columns;
    uint32_t cycleMs = 100;
    uint32_t timeoutMs = 0;  // 0 until loaded: then max(1000, 4 x cycle_ms)
    int qos = 0;
    std::vector<Target> writable;
    bool exec = false;
    std::vector<PollGroup> polls;
};

struct GatewayConfig {
    BrokerConfig broker;
    uint32_t metricsIntervalMs = 5000;
    uint32_t maxRequestAgeMs = 3000;
    std::string metricsListen;  // HOST:PORT of the Prometheus endpoint; empty: none
    std::vector<ControllerConfig> controllers;
};

// Reads and checks the file. On failure `error` is one line,
// "FILE:LINE: KEY: what is wrong".
bool loadConfig(const std::string& path, GatewayConfig* config, std::string* error);
// The same for text already in memory; `source` names it in errors.
bool parseConfig(std::string_view text, const std::string& source, GatewayConfig* config, std::string* error);

// HOST:PORT or PORT (then on 127.0.0.1). False when malformed.
bool parseListenAddress(std::string_view text, std::string* host, uint16_t* port);

}  // namespace tvx::gateway
