// tavrix-gateway: the controllers of a configuration file on an MQTT broker.
#include <csignal>
#include <cstdio>
#include <httplib.h>
#include <memory>
#include <thread>
#include <vector>

#include "command_line.h"
#include "config.h"
#include "controller_worker.h"
#include "metrics.h"
#include "mqtt_link.h"

namespace tvx::gateway {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int64_t wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int runGateway(const GatewayConfig& config, const sigset_t& stopSignals) {
    mqttInit();
    Metrics metrics;
    metrics.controllers = static_cast<uint32_t>(config.controllers.size());
    const std::string own = config.broker.prefix + "/gateway/" + config.broker.clientId;
    MqttLink link(config.broker, config.broker.clientId, own + "/status", metrics);
    MqttLink::Handlers handlers;
    handlers.logConnection = true;
    handlers.connected = [&] {
        link.publish(own + "/status", "online", 1, true);
        link.publish(own + "/metrics", metricsJson(metrics, wallMs()), 1, true);
    };
    std::string error;
    if (!link.start(std::move(handlers), &error)) {
        std::fprintf(stderr, "tavrix-gateway: %s\n", error.c_str());
        mqttCleanup();
        return kExitFailure;
    }

    std::unique_ptr<httplib::Server> http;
    std::thread httpThread;
    if (!config.metricsListen.empty()) {
        std::string host;
        uint16_t port = 0;
        parseListenAddress(config.metricsListen, &host, &port);
        http = std::make_unique<httplib::Server>();
        http->Get("/metrics", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content(metricsPrometheus(metrics, config.broker.clientId), "text/plain; version=0.0.4");
        });
        if (!http->bind_to_port(host.c_str(), port)) {
            std::fprintf(stderr, "tavrix-gateway: --metrics: cannot listen on %s:%u\n", host.c_str(), port);
            link.stop();
            mqttCleanup();
            return kExitFailure;
        }
        httpThread = std::thread([&] { http->listen_after_bind(); });
    }

    std::vector<std::unique_ptr<ControllerWorker>> workers;
    for (const ControllerConfig& c : config.controllers) {
        workers.push_back(std::make_unique<ControllerWorker>(c, config, metrics));
        if (!workers.back()->start(&error)) {
            std::fprintf(stderr, "tavrix-gateway: %s: %s\n", c.name.c_str(), error.c_str());
            workers.pop_back();
        }
    }
    std::fprintf(stderr, "tavrix-gateway: %s: %zu controllers, broker %s:%u\n", config.broker.clientId.c_str(),
                 workers.size(), config.broker.host.c_str(), config.broker.port);

    // The main thread waits for a stop signal and publishes the counters
    // between.
    const timespec interval{static_cast<time_t>(config.metricsIntervalMs / 1000),
                            static_cast<long>(config.metricsIntervalMs % 1000) * 1000000L};
    int signal = -1;
    while (signal < 0) {
        signal = sigtimedwait(&stopSignals, nullptr, &interval);
        if (signal < 0) link.publish(own + "/metrics", metricsJson(metrics, wallMs()), 1, true);
    }
    std::fprintf(stderr, "tavrix-gateway: %s: stopping\n", strsignal(signal));
    if (http) {
        http->stop();
        httpThread.join();
    }
    // All at once, so the controllers go offline together, then each waits.
    for (auto& w : workers) w->requestStop();
    for (auto& w : workers) w->join();
    workers.clear();
    link.publish(own + "/metrics", metricsJson(metrics, wallMs()), 1, true);
    link.publishAndWait(own + "/status", "offline", true, 1000);
    link.stop();
    mqttCleanup();
    std::fprintf(stderr, "tavrix-gateway: stopped\n");
    return kExitOk;
}

int run(int argc, char** argv) {
    CommandLine cl;
    auto app = makeCommandLine(&cl);
    try {
        app->parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app->exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "tavrix-gateway: %s (see --help)\n", e.what());
        return kExitUsage;
    }
    if (cl.man) {
        std::fputs(manPage(*app).c_str(), stdout);
        return kExitOk;
    }
    if (cl.config.empty()) {
        std::fprintf(stderr, "tavrix-gateway: --config FILE is needed (see --help)\n");
        return kExitUsage;
    }
    GatewayConfig config;
    std::string error;
    if (!loadConfig(cl.config, &config, &error)) {
        std::fprintf(stderr, "tavrix-gateway: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!cl.metrics.empty()) {
        std::string host;
        uint16_t port;
        if (!parseListenAddress(cl.metrics, &host, &port)) {
            std::fprintf(stderr, "tavrix-gateway: --metrics needs HOST:PORT or PORT\n");
            return kExitUsage;
        }
        config.metricsListen = cl.metrics;
    }
    if (cl.check) {
        std::printf("%s: gateway %s, broker %s://%s:%u, prefix %s, %zu controllers\n", cl.config.c_str(),
                    config.broker.clientId.c_str(), config.broker.tls ? "mqtts" : "mqtt", config.broker.host.c_str(),
                    config.broker.port, config.broker.prefix.c_str(), config.controllers.size());
        for (const ControllerConfig& c : config.controllers)
            std::printf("  %s at %s: %zu values every %u ms, %zu writable, exec %s\n", c.name.c_str(),
                        c.address.c_str(), c.columns.size(), c.cycleMs, c.writable.size(), c.exec ? "on" : "off");
        return kExitOk;
    }
    // Stop signals are taken by the main thread alone: blocked here before
    // any thread starts, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return runGateway(config, stopSignals);
}

}  // namespace
}  // namespace tvx::gateway

int main(int argc, char** argv) { return tvx::gateway::run(argc, argv); }
