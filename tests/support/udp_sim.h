// A simulated controller served over UDP on a loopback address from a
// thread of the test process.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "engine/controller.h"
#include "platform/platform.h"
#include "server/responder.h"
#include "server/udp_server.h"

namespace tvx::testing {

class UdpSim {
public:
    explicit UdpSim(std::string address, sim::FaultPlan plan = {}) : address_(std::move(address)), plan_(plan) {}
    ~UdpSim() { stop(); }
    UdpSim(const UdpSim&) = delete;
    UdpSim& operator=(const UdpSim&) = delete;

    // Serves on address:port; false with `error` set when it cannot bind.
    bool start(uint16_t port = 502, bool broadcast = false, std::string* error = nullptr) {
        uint32_t ip = 0;
        if (!platform::parseIpv4(address_.c_str(), &ip)) return false;
        std::string message, warning;
        if (!server_.open(ip, port, broadcast, &message, &warning)) {
            if (error) *error = message;
            return false;
        }
        responder_ = std::make_unique<sim::Responder>(controller, plan_, address_);
        thread_ = std::thread([this] { server_.run(*responder_, stop_); });
        return true;
    }
    void stop() {
        stop_ = 1;
        if (thread_.joinable()) thread_.join();
    }
    // The server's counters: read them once it has stopped.
    const sim::ResponderStats& stats() const { return responder_->stats(); }
    // Runs `f` on the controller's model with the engine's lock held.
    template <class F>
    auto withModel(F f) {
        std::lock_guard<std::mutex> lock(controller.mutex());
        return f(controller.model());
    }
    const std::string& address() const { return address_; }

    sim::Controller controller;

private:
    std::string address_;
    sim::FaultPlan plan_;
    sim::UdpServer server_;
    std::unique_ptr<sim::Responder> responder_;
    std::atomic<int> stop_{0};
    std::thread thread_;
};

}  // namespace tvx::testing
