// One controller of the gateway: its link (opened, watched, reopened with
// backoff), its broker connection (whose will marks it offline), the
// values it publishes and the requests it carries out, one at a time and
// in arrival order, on a thread of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "metrics.h"
#include "mqtt_link.h"
#include "requests.h"
#include "tavrix.h"

namespace tvx::gateway {

class ControllerWorker {
public:
    ControllerWorker(const ControllerConfig& controller, const GatewayConfig& gateway, Metrics& metrics);
    ~ControllerWorker();
    ControllerWorker(const ControllerWorker&) = delete;
    ControllerWorker& operator=(const ControllerWorker&) = delete;

    bool start(std::string* error);
    // Asks the thread to end; join() waits for it, closes the link,
    // publishes "offline" and leaves the broker.
    void requestStop();
    void join();

private:
    using Clock = std::chrono::steady_clock;

    void run();
    bool openLink();
    // Marks the controller offline and closes the link; `lost` when it no
    // longer answers.
    void closeLink(const char* why, bool lost);
    void serveRequests();
    void carryOut(const Request& request);
    void publishValues();
    void pollGroups(Clock::time_point now);
    void checkAlive(Clock::time_point now);
    bool enableUpload();
    void setStatus(bool online);
    void reply(const std::string& topic, int32_t code, const std::string& text, const std::string& answer);
    void refuse(const std::string& topic, int32_t code);
    bool stopping();
    void waitFor(std::chrono::milliseconds period);
    void onConnected();
    void onMessage(const struct mosquitto_message& message);

    const ControllerConfig& config_;
    const GatewayConfig& gateway_;
    Metrics& metrics_;
    const std::string base_;  // PREFIX/NAME
    MqttLink mqtt_;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> queue_;
    bool stopping_ = false;

    // What the retained topics say now, republished on every broker
    // connection; statusMutex_ keeps a state change and a republication
    // from crossing.
    std::mutex statusMutex_;
    bool online_ = false;
    std::string info_;

    // Link state, touched only by the worker thread.
    TVX_HANDLE handle_ = nullptr;
    bool uploading_ = false;
    uint32_t seen_ = 0;
    uint64_t seq_ = 0;
    Clock::time_point lastSign_;  // last block or answer: the controller was there
    std::vector<Clock::time_point> pollDue_;
    int32_t lastOpenFailure_ = 0;
};

}  // namespace tvx::gateway
