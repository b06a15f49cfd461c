#include "controller_worker.h"

#include <algorithm>
#include <cstdio>
#include <mosquitto.h>

#include "controller_info.h"

namespace tvx::gateway {
namespace {

constexpr size_t kMaxQueuedRequests = 32;
constexpr uint32_t kAnswerRoom = 4096;
constexpr auto kFirstBackoff = std::chrono::milliseconds(250);
constexpr auto kMaxBackoff = std::chrono::milliseconds(5000);
constexpr uint32_t kOfflineAckMs = 1000;

int64_t wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool isCardAddress(const std::string& a) { return a.size() > 3 && (a[0] & ~0x20) == 'P'; }
bool isSerialAddress(const std::string& a) { return a.size() > 3 && (a[0] & ~0x20) == 'C'; }

}  // namespace

ControllerWorker::ControllerWorker(const ControllerConfig& controller, const GatewayConfig& gateway, Metrics& metrics)
    : config_(controller),
      gateway_(gateway),
      metrics_(metrics),
      base_(gateway.broker.prefix + "/" + controller.name),
      mqtt_(gateway.broker, gateway.broker.clientId + ":" + controller.name, base_ + "/status", metrics),
      pollDue_(controller.polls.size()) {}

ControllerWorker::~ControllerWorker() {
    requestStop();
    join();
}

bool ControllerWorker::start(std::string* error) {
    MqttLink::Handlers handlers;
    handlers.connected = [this] { onConnected(); };
    handlers.message = [this](const mosquitto_message& m) { onMessage(m); };
    if (!mqtt_.start(std::move(handlers), error)) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void ControllerWorker::requestStop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
}

void ControllerWorker::join() {
    if (!thread_.joinable()) return;
    thread_.join();
    // A clean disconnect sends no will: say "offline" ourselves first.
    {
        std::lock_guard lock(statusMutex_);
        online_ = false;
    }
    mqtt_.publishAndWait(base_ + "/status", "offline", true, kOfflineAckMs);
    mqtt_.stop();
}

bool ControllerWorker::stopping() {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void ControllerWorker::waitFor(std::chrono::milliseconds period) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, period, [&] { return stopping_ || !queue_.empty(); });
}

void ControllerWorker::run() {
    auto backoff = kFirstBackoff;
    bool everOnline = false;
    // How often the block counter is looked at: a fifth of a cycle, so
    // that a block waits little before it is published.
    const auto poll = std::chrono::milliseconds(std::clamp<uint32_t>(config_.cycleMs / 5, 1, 20));
    while (!stopping()) {
        if (!handle_) {
            if (!openLink()) {
                serveRequests();  // refused: the controller is offline
                waitFor(backoff);
                backoff = std::min(backoff * 2, kMaxBackoff);
                continue;
            }
            backoff = kFirstBackoff;
            if (everOnline) metrics_.reopens.fetch_add(1, std::memory_order_relaxed);
            everOnline = true;
        }
        serveRequests();
        if (handle_ && uploading_) publishValues();
        const auto now = Clock::now();
        if (handle_) pollGroups(now);
        if (handle_) checkAlive(now);
        waitFor(uploading_ ? poll : std::chrono::milliseconds(20));
    }
    if (handle_) closeLink(nullptr, false);
    serveRequests();
}

bool ControllerWorker::openLink() {
    const uint32_t budget = std::max<uint32_t>(config_.timeoutMs * 2 / 5, 80);
    TVX_HANDLE h = nullptr;
    uint32_t port = 0;
    int32_t r;
    if (isSerialAddress(config_.address)) {
        port = static_cast<uint32_t>(std::stoul(config_.address.substr(3)));
        r = TVX_OpenCom(port, &h);
    } else if (isCardAddress(config_.address)) {
        r = TVX_Open(TVX_LINK_PCI, config_.address.c_str(), &h);
    } else {
        r = TVX_SearchAndOpenEth(config_.address.c_str(), budget, &h);
    }
    if (r != TVX_OK) {
        if (r != lastOpenFailure_)
            std::fprintf(stderr, "tavrix-gateway: %s: cannot open %s: %s (%d); retrying\n", config_.name.c_str(),
                         config_.address.c_str(), tvx_describe_result(r), r);
        lastOpenFailure_ = r;
        return false;
    }
    lastOpenFailure_ = 0;
    handle_ = h;
    TVX_SetTimeOut(h, budget);
    std::string info;
    int32_t lost = TVX_OK;
    if (!controllerInfoJson(h, config_.address, &info, &lost)) {
        closeLink("lost while reading its identity", true);
        return false;
    }
    {
        std::lock_guard lock(statusMutex_);
        info_ = info;
        mqtt_.publish(base_ + "/info", info_, 1, true);
    }
    if (!config_.watch.empty() && !enableUpload()) return false;
    const auto now = Clock::now();
    lastSign_ = now;
    std::fill(pollDue_.begin(), pollDue_.end(), now);
    setStatus(true);
    std::fprintf(stderr, "tavrix-gateway: %s: online (%s)\n", config_.name.c_str(), config_.address.c_str());
    return true;
}

bool ControllerWorker::enableUpload() {
    const int32_t r = TVX_CycleUpEnable(handle_, 0, config_.cycleMs, config_.watch.c_str());
    seen_ = 0;
    uploading_ = r == TVX_OK;
    if (r == TVX_OK) return true;
    if (linkLost(r)) {
        closeLink("lost while starting the upload", true);
        return false;
    }
    // The controller refused the items (an unknown name, say): the
    // controller stays online for requests; the log says why no values come.
    std::fprintf(stderr, "tavrix-gateway: %s: the watch items were refused: %s (%d)\n", config_.name.c_str(),
                 tvx_describe_result(r), r);
    return true;
}

void ControllerWorker::closeLink(const char* why, bool lost) {
    // Said first: closing takes time, and the consumers should know at once.
    setStatus(false);
    if (why) std::fprintf(stderr, "tavrix-gateway: %s: offline: %s\n", config_.name.c_str(), why);
    // A lost link would only spend another budget on the stop request.
    if (uploading_ && !lost) TVX_CycleUpDisable(handle_, 0);
    TVX_Close(handle_);
    handle_ = nullptr;
    uploading_ = false;
}

void ControllerWorker::setStatus(bool online) {
    std::lock_guard lock(statusMutex_);
    if (online != online_) {
        if (online)
            metrics_.online.fetch_add(1, std::memory_order_relaxed);
        else
            metrics_.online.fetch_sub(1, std::memory_order_relaxed);
    }
    online_ = online;
    mqtt_.publish(base_ + "/status", online ? "online" : "offline", 1, true);
}

void ControllerWorker::publishValues() {
    const uint32_t received = TVX_CycleUpGetRecvTimes(handle_, 0);
    if (received == seen_ || received == static_cast<uint32_t>(TVX_ERR_INVALID_HANDLE)) return;
    // seq counts blocks, so a gap in it shows blocks the gateway never saw.
    seq_ += received - seen_;
    seen_ = received;
    lastSign_ = Clock::now();
    std::string text;
    text.reserve(48 + config_.columns.size() * 24);
    text += "{\"t\":" + std::to_string(wallMs()) + ",\"seq\":" + std::to_string(seq_) + ",\"values\":{";
    for (size_t i = 0; i < config_.columns.size(); ++i) {
        const Column& c = config_.columns[i];
        double v = 0;
        const int32_t r = TVX_CycleUpReadBuff(handle_, 0, c.name.c_str(), c.index, &v);
        if (i) text += ',';
        text += '"' + c.label + "\":" + (r == TVX_OK ? jsonNumber(v) : "null");
    }
    text += "}}";
    // While the broker is away (or too slow) the value is gone, and
    // counted: values are only worth their time.
    if (!mqtt_.publish(base_ + "/values", text, config_.qos, false, true))
        metrics_.dropped.fetch_add(1, std::memory_order_relaxed);
}

void ControllerWorker::pollGroups(Clock::time_point now) {
    for (size_t g = 0; g < config_.polls.size(); ++g) {
        if (now < pollDue_[g]) continue;
        const PollGroup& group = config_.polls[g];
        pollDue_[g] = now + std::chrono::milliseconds(group.periodMs);
        std::string text = "{\"t\":" + std::to_string(wallMs()) + ",\"values\":{";
        for (size_t i = 0; i < group.columns.size(); ++i) {
            const Column& c = group.columns[i];
            float v = 0;
            const int32_t r = c.indexed ? TVX_GlobalArrayGet(handle_, c.name.c_str(), static_cast<int32_t>(c.index), &v)
                                        : TVX_GlobalVarGet(handle_, c.name.c_str(), &v);
            if (linkLost(r)) {
                closeLink("no answer to a poll", true);
                return;
            }
            if (i) text += ',';
            text += '"' + c.label + "\":" + (r == TVX_OK ? jsonNumber(v) : "null");
        }
        text += "}}";
        lastSign_ = Clock::now();
        if (!mqtt_.publish(base_ + "/polled", text, config_.qos, false, true))
            metrics_.dropped.fetch_add(1, std::memory_order_relaxed);
    }
}

void ControllerWorker::checkAlive(Clock::time_point now) {
    // Two fifths of the timeout of silence, then a question with two
    // fifths as its budget: a controller that stopped answering is offline
    // within its timeout, with a fifth left for scheduling.
    if (now - lastSign_ < std::chrono::milliseconds(config_.timeoutMs * 2 / 5)) return;
    uint8_t state = 0;
    const int32_t r = TVX_GetState(handle_, &state);
    if (linkLost(r)) {
        closeLink("no answer within its timeout", true);
        return;
    }
    lastSign_ = Clock::now();
    // It answers but sends no blocks: it was restarted and forgot the
    // upload, so ask for it again.
    if (uploading_) enableUpload();
}

void ControllerWorker::serveRequests() {
    while (true) {
        Request request;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            request = std::move(queue_.front());
            queue_.pop_front();
        }
        if (!handle_) {
            refuse(request.topic, kRefusedOffline);
        } else if (Clock::now() - request.arrived > std::chrono::milliseconds(gateway_.maxRequestAgeMs)) {
            // Waited too long behind a slow controller: carrying it out now
            // would move the machine long after its user asked.
            refuse(request.topic, kRefusedTooOld);
        } else {
            carryOut(request);
        }
    }
}

void ControllerWorker::carryOut(const Request& request) {
    int32_t r;
    std::string answer;
    if (request.kind == Request::Kind::Set && request.target.element) {
        const float f = static_cast<float>(request.value);
        r = TVX_ArrayWritef(handle_, request.target.name.c_str(), request.target.index, 1, &f);
    } else {
        const std::string line = request.kind == Request::Kind::Exec
                                     ? request.command
                                     : request.target.name + "=" + jsonNumber(request.value);
        std::vector<char> room(kAnswerRoom + 1, '\0');
        r = TVX_Execute(handle_, line.c_str(), config_.timeoutMs, room.data(), kAnswerRoom);
        answer = room.data();
        if (r == TVX_OK && answerReportsError(answer)) r = kControllerError;
    }
    if (r == TVX_OK) {
        metrics_.writes.fetch_add(1, std::memory_order_relaxed);
        lastSign_ = Clock::now();
    } else {
        metrics_.failures.fetch_add(1, std::memory_order_relaxed);
    }
    reply(request.topic, r, describeCode(r), answer);
    if (linkLost(r)) closeLink("no answer to a request", true);
}

void ControllerWorker::reply(const std::string& topic, int32_t code, const std::string& text,
                             const std::string& answer) {
    mqtt_.publish(base_ + "/result", resultJson(topic, code, text, answer), 1, false);
}

void ControllerWorker::refuse(const std::string& topic, int32_t code) {
    metrics_.refusals.fetch_add(1, std::memory_order_relaxed);
    reply(topic, code, describeCode(code), "");
}

void ControllerWorker::onConnected() {
    mqtt_.subscribe(base_ + "/set/#", 1);
    mqtt_.subscribe(base_ + "/exec", 1);
    std::lock_guard lock(statusMutex_);
    mqtt_.publish(base_ + "/status", online_ ? "online" : "offline", 1, true);
    if (!info_.empty()) mqtt_.publish(base_ + "/info", info_, 1, true);
}

void ControllerWorker::onMessage(const mosquitto_message& m) {
    const std::string topic(m.topic ? m.topic : "");
    const std::string_view payload(static_cast<const char*>(m.payload), m.payload ? static_cast<size_t>(m.payloadlen) : 0);
    Verdict v = judgeRequest(config_, base_, topic, payload, m.retain, wallMs(), gateway_.maxRequestAgeMs);
    if (v.code != 0) {
        metrics_.refusals.fetch_add(1, std::memory_order_relaxed);
        reply(topic, v.code, v.text, "");
        return;
    }
    v.request.arrived = Clock::now();
    int32_t refusal;
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() < kMaxQueuedRequests && !stopping_) {
            queue_.push_back(std::move(v.request));
            wake_.notify_all();
            return;
        }
        refusal = stopping_ ? kRefusedOffline : kRefusedBusy;
    }
    refuse(topic, refusal);
}

}  // namespace tvx::gateway
