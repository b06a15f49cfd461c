// The operator panel's input queue: touches and key changes from the pages,
// sent to the controller one at a time by a single thread in the order the
// pages made them. An input that could not be sent by its deadline is
// dropped and reported as not delivered: a click made while the controller
// did not answer must never move the machine later.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tvx::tool {

struct PanelInput {
    enum class Kind { touch, key };
    Kind kind = Kind::touch;
    uint32_t x = 0, y = 0;  // touch
    uint16_t key = 0;       // key
    int32_t state = 0;      // key: 1 down, 0 up
};

enum class InputOutcome {
    delivered,   // the controller took it
    failed,      // sent, and the controller or the link gave an error
    late,        // not sent: its deadline passed first
    outOfOrder,  // not sent: the page already gave a later input
    stopped,     // not sent: the panel is stopping
};

struct InputResult {
    InputOutcome outcome;
    int32_t code = 0;  // the call's result when sent
};

class PanelInputs {
public:
    using Clock = std::chrono::steady_clock;
    // Sends one input to the controller; the call's result code.
    using Deliver = std::function<int32_t(const PanelInput&)>;
    using Now = std::function<Clock::time_point()>;

    explicit PanelInputs(Deliver deliver, Now now = &Clock::now);
    ~PanelInputs();
    PanelInputs(const PanelInputs&) = delete;
    PanelInputs& operator=(const PanelInputs&) = delete;

    // Drops what is still queued (as stopped) and ends the delivery thread.
    void stop();

    // Queues the input `seq` of page `page` and waits for its fate. It is
    // sent only if the delivery thread reaches it before `deadline`, and
    // only if `seq` is above every sequence number this page gave before.
    InputResult submit(const std::string& page, uint64_t seq, Clock::time_point deadline, const PanelInput& input);

private:
    enum class State { queued, sending, done };
    struct Pending {
        PanelInput input;
        Clock::time_point deadline;
        State state = State::queued;
        InputResult result{InputOutcome::late};
    };
    struct PageOrder {
        uint64_t lastSeq = 0;
        uint64_t lastUse = 0;
    };
    void run();
    void forgetOldPages();

    Deliver deliver_;
    Now now_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Pending>> queue_;
    std::map<std::string, PageOrder> pages_;
    uint64_t uses_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tvx::tool
