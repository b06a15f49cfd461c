// A simulated controller behind a pseudo-terminal, served on a thread of
// its own, and silent terminals that answer nothing: the library reaches
// them as COM ports through TAVRIX_COMn, as users reach USB adapters.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/controller.h"
#include "engine/serial_line_service.h"
#include "server/serial_server.h"
#include "support/frames.h"

namespace tvx::testing {

// Maps COM<port> to `device` for this process, and forgets the mapping again.
class ComMapping {
public:
    ComMapping(uint32_t port, const std::string& device) : name_("TAVRIX_COM" + std::to_string(port)) {
        setenv(name_.c_str(), device.c_str(), 1);
    }
    ~ComMapping() { unsetenv(name_.c_str()); }
    ComMapping(const ComMapping&) = delete;
    ComMapping& operator=(const ComMapping&) = delete;

private:
    std::string name_;
};

// A pseudo-terminal nobody answers on, mapped to COM<port>.
class SilentPty {
public:
    explicit SilentPty(uint32_t port) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        // Held open, so that the line stays up while the library opens it.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        mapping_ = std::make_unique<ComMapping>(port, name);
    }
    ~SilentPty() {
        closeMaster();
        if (slave_ >= 0) ::close(slave_);
    }
    // The far end goes away: the library's port sees the line vanish.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::unique_ptr<ComMapping> mapping_;
};

// The simulated controller on a pseudo-terminal mapped to COM<port>.
class PtyController {
public:
    explicit PtyController(uint32_t port, const sim::FaultPlan& plan = {}, uint32_t splitGapMs = 0)
        : server_(controller, plan, splitGapMs) {
        std::string message;
        if (!server_.open("", &message)) {
            ADD_FAILURE() << message;
            return;
        }
        server_.observeFrames([this](bool received, const uint8_t* frame, size_t n) {
            std::lock_guard<std::mutex> lock(framesGuard_);
            (received ? requests_ : replies_).emplace_back(frame, frame + n);
        });
        mapping_ = std::make_unique<ComMapping>(port, server_.devicePath());
    }
    ~PtyController() { stop(); }

    sim::SerialLineService& line() { return *controller.service<sim::SerialLineService>(); }
    void start() {
        stop_ = 0;
        thread_ = std::thread([this] { server_.run(stop_); });
    }
    // Stops serving; with `vanish` the terminal is closed as well.
    void stop(bool vanish = false) {
        stop_ = 1;
        if (thread_.joinable()) thread_.join();
        if (vanish) server_.close();
    }
    const std::string& device() const { return server_.devicePath(); }
    std::vector<Bytes> requests() {
        std::lock_guard<std::mutex> lock(framesGuard_);
        return requests_;
    }
    const sim::SerialStats& stats() const { return server_.stats(); }
    // The baud the host's side of the line runs at.
    uint32_t hostBaud() const { return server_.lineBaud(); }

    sim::Controller controller;

private:
    sim::SerialServer server_;
    std::unique_ptr<ComMapping> mapping_;
    std::atomic<int> stop_{0};
    std::thread thread_;
    std::mutex framesGuard_;
    std::vector<Bytes> requests_, replies_;
};

}  // namespace tvx::testing
