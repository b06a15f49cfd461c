// The operator panel's input queue: one input at a time, in the pages'
// order, and nothing sent after its deadline.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "tvx/panel_inputs.h"

namespace tvx::tool {
namespace {

using Clock = PanelInputs::Clock;
using namespace std::chrono_literals;

// A clock the test moves by hand.
struct TestClock {
    std::atomic<Clock::rep> ticks{0};
    Clock::time_point now() const { return Clock::time_point(Clock::duration(ticks.load())); }
    void advance(Clock::duration d) { ticks += d.count(); }
};

PanelInput touchAt(uint32_t x) {
    PanelInput in;
    in.kind = PanelInput::Kind::touch;
    in.x = x;
    return in;
}

PanelInput keyChange(uint16_t key, int32_t state) {
    PanelInput in;
    in.kind = PanelInput::Kind::key;
    in.key = key;
    in.state = state;
    return in;
}

TEST(TvxPanelInputs, NothingIsSentOnceItsDeadlineHasPassed) {
    // The controller stops answering: the first touch's call hangs 3 s
    // (moved on the test clock). The touches queued behind it pass their
    // 1 s deadline meanwhile and must be dropped, not sent when it returns.
    TestClock clock;
    std::mutex m;
    std::vector<uint32_t> sent;
    std::promise<void> firstStarted;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    PanelInputs inputs(
        [&](const PanelInput& in) {
            {
                std::lock_guard<std::mutex> lock(m);
                sent.push_back(in.x);
            }
            if (in.x == 1) {
                firstStarted.set_value();
                released.wait();
                return 3402;  // no answer
            }
            return 0;
        },
        [&] { return clock.now(); });

    auto first = std::async(std::launch::async, [&] { return inputs.submit("page", 1, clock.now() + 1s, touchAt(1)); });
    firstStarted.get_future().wait();
    // Each from a page of its own: their order among themselves is not
    // what this test is about.
    const Clock::time_point deadline = clock.now() + 1s;
    std::vector<std::future<InputResult>> later;
    for (uint32_t x = 2; x <= 4; ++x)
        later.push_back(std::async(std::launch::async, [&, x] {
            return inputs.submit("page" + std::to_string(x), 1, deadline, touchAt(x));
        }));
    std::this_thread::sleep_for(50ms);  // let them queue
    clock.advance(3s);
    for (auto& f : later) EXPECT_EQ(f.get().outcome, InputOutcome::late);
    release.set_value();
    const InputResult r = first.get();
    EXPECT_EQ(r.outcome, InputOutcome::failed);
    EXPECT_EQ(r.code, 3402);

    // The controller is back: a new input goes through, the stale ones never.
    EXPECT_EQ(inputs.submit("page", 5, clock.now() + 1s, touchAt(5)).outcome, InputOutcome::delivered);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(sent, (std::vector<uint32_t>{1, 5}));
}

TEST(TvxPanelInputs, AnInputAlreadyTooOldIsNotQueued) {
    TestClock clock;
    std::atomic<int> calls{0};
    PanelInputs inputs([&](const PanelInput&) { return ++calls, 0; }, [&] { return clock.now(); });
    clock.advance(10s);
    EXPECT_EQ(inputs.submit("page", 1, clock.now() - 1ms, touchAt(1)).outcome, InputOutcome::late);
    EXPECT_EQ(calls.load(), 0);
}

TEST(TvxPanelInputs, APageOrderIsKeptAndEarlierNumbersAreRefused) {
    std::mutex m;
    std::vector<std::pair<uint16_t, int32_t>> sent;
    PanelInputs inputs([&](const PanelInput& in) {
        std::lock_guard<std::mutex> lock(m);
        sent.emplace_back(in.key, in.state);
        return 0;
    });
    auto soon = [] { return Clock::now() + 1s; };
    // A key tap, then its down again arriving late (another connection):
    // refused, so the key is not left held.
    EXPECT_EQ(inputs.submit("a", 1, soon(), keyChange(65, 1)).outcome, InputOutcome::delivered);
    EXPECT_EQ(inputs.submit("a", 3, soon(), keyChange(65, 0)).outcome, InputOutcome::delivered);
    EXPECT_EQ(inputs.submit("a", 2, soon(), keyChange(65, 1)).outcome, InputOutcome::outOfOrder);
    EXPECT_EQ(inputs.submit("a", 3, soon(), keyChange(65, 0)).outcome, InputOutcome::outOfOrder);
    // Another page has an order of its own.
    EXPECT_EQ(inputs.submit("b", 1, soon(), keyChange(66, 1)).outcome, InputOutcome::delivered);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(sent, (std::vector<std::pair<uint16_t, int32_t>>{{65, 1}, {65, 0}, {66, 1}}));
}

TEST(TvxPanelInputs, ConcurrentSubmissionsAreSentOneAtATime) {
    std::atomic<int> inside{0}, most{0}, calls{0};
    PanelInputs inputs([&](const PanelInput&) {
        const int now = ++inside;
        most = std::max(most.load(), now);
        std::this_thread::sleep_for(2ms);
        --inside;
        ++calls;
        return 0;
    });
    std::vector<std::thread> pages;
    for (int p = 0; p < 8; ++p)
        pages.emplace_back([&, p] {
            for (uint64_t seq = 1; seq <= 10; ++seq)
                inputs.submit("page" + std::to_string(p), seq, Clock::now() + 5s, touchAt(static_cast<uint32_t>(seq)));
        });
    for (auto& t : pages) t.join();
    EXPECT_EQ(calls.load(), 80);
    EXPECT_EQ(most.load(), 1);
}

TEST(TvxPanelInputs, StopAnswersWhatIsStillQueued) {
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto inputs = std::make_unique<PanelInputs>([&](const PanelInput& in) {
        if (in.x == 1) {
            started.set_value();
            released.wait();
        }
        return 0;
    });
    auto first = std::async(std::launch::async, [&] { return inputs->submit("p", 1, Clock::now() + 60s, touchAt(1)); });
    started.get_future().wait();
    auto second = std::async(std::launch::async, [&] { return inputs->submit("p", 2, Clock::now() + 60s, touchAt(2)); });
    std::this_thread::sleep_for(50ms);
    std::thread stopper([&] { inputs->stop(); });
    EXPECT_EQ(second.get().outcome, InputOutcome::stopped);
    release.set_value();
    stopper.join();
    EXPECT_EQ(first.get().outcome, InputOutcome::delivered);
    EXPECT_EQ(inputs->submit("p", 3, Clock::now() + 1s, touchAt(3)).outcome, InputOutcome::stopped);
}

}  // namespace
}  // namespace tvx::tool
