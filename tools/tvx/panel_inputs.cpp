#include "panel_inputs.h"

#include <algorithm>

namespace tvx::tool {
namespace {

// Pages whose order is remembered; beyond it the least recently heard from
// is forgotten (its next input starts its order afresh).
constexpr size_t kPagesKept = 256;
// Waits use the real clock in slices so that an injected clock that jumps
// is noticed soon.
constexpr auto kWaitSlice = std::chrono::milliseconds(20);

}  // namespace

PanelInputs::PanelInputs(Deliver deliver, Now now) : deliver_(std::move(deliver)), now_(std::move(now)) {
    thread_ = std::thread([this] { run(); });
}

PanelInputs::~PanelInputs() { stop(); }

void PanelInputs::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (const auto& p : queue_) {
            p->state = State::done;
            p->result = {InputOutcome::stopped};
        }
        queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

InputResult PanelInputs::submit(const std::string& page, uint64_t seq, Clock::time_point deadline,
                                const PanelInput& input) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stopping_) return {InputOutcome::stopped};
    PageOrder& order = pages_[page];
    order.lastUse = ++uses_;
    if (seq <= order.lastSeq) return {InputOutcome::outOfOrder};
    order.lastSeq = seq;
    forgetOldPages();
    if (now_() >= deadline) return {InputOutcome::late};

    auto pending = std::make_shared<Pending>();
    pending->input = input;
    pending->deadline = deadline;
    queue_.push_back(pending);
    changed_.notify_all();
    while (pending->state != State::done) {
        if (pending->state == State::queued && now_() >= deadline) {
            // Not reached in time: taken out here, so that the delivery
            // thread never sends it.
            queue_.erase(std::find(queue_.begin(), queue_.end(), pending));
            pending->state = State::done;
            pending->result = {InputOutcome::late};
            break;
        }
        changed_.wait_for(lock, kWaitSlice);
    }
    return pending->result;
}

void PanelInputs::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        std::shared_ptr<Pending> next = queue_.front();
        queue_.pop_front();
        if (now_() >= next->deadline) {
            next->state = State::done;
            next->result = {InputOutcome::late};
            changed_.notify_all();
            continue;
        }
        next->state = State::sending;
        lock.unlock();
        const int32_t code = deliver_(next->input);
        lock.lock();
        next->state = State::done;
        next->result = {code == 0 ? InputOutcome::delivered : InputOutcome::failed, code};
        changed_.notify_all();
    }
}

void PanelInputs::forgetOldPages() {
    if (pages_.size() <= kPagesKept) return;
    auto oldest = std::min_element(pages_.begin(), pages_.end(),
                                   [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    pages_.erase(oldest);
}

}  // namespace tvx::tool
