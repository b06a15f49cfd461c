// The soak: every handle slot open at once (256 handles over several
// simulated controllers), four threads per handle mixing queries, text
// commands and file round trips for a bounded time. Every answer is
// checked against what the controller must say; every call must end within
// its budget; a watchdog fails the run when the workers do not all finish
// within a bounded time after the stop (a deadlock). A table of the calls,
// wrong answers, failures by code and the longest call is printed.
//
// A controller has one command line and one file transfer at a time, for
// all the hosts that talk to it: text commands and file round trips to the
// same simulator take turns (a lock per simulator, not timed), while
// queries from every handle run freely beside them.
//
// TVX_SOAK_SECONDS sets the run time (default 3, the short form run by the
// suite; scripts/soak.sh runs a longer form).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

using Clock = std::chrono::steady_clock;

int soakSeconds() {
    const char* text = std::getenv("TVX_SOAK_SECONDS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 3;
}

constexpr int kSimulators = 8;
constexpr int kHandles = 256;  // every slot of the handle table
constexpr int kThreadsPerHandle = 4;
constexpr uint32_t kTimeoutMs = 2000;
// Four threads share one link: a call may wait behind the other three
// (a file round trip each) before its own transactions run.
constexpr auto kCallBudget = std::chrono::milliseconds(20000);
// After the stop every worker ends its current call and leaves.
constexpr auto kJoinBound = std::chrono::seconds(60);

// What one worker saw; merged under the shared lock when it ends.
struct Tally {
    long calls = 0, wrong = 0, overBudget = 0;
    long wrongByKind[4] = {};  // state, system record, text command, round trip
    std::map<int32_t, long> failures;  // result code -> count
    Clock::duration longest{};
};

class Worker {
public:
    Worker(TVX_HANDLE h, int id, uint16_t axes, std::mutex& controllerTurn)
        : h_(h), id_(id), axes_(axes), turn_(controllerTurn), rng_(static_cast<uint32_t>(id) * 7919u + 1u) {}

    void run(const std::atomic<bool>& stop) {
        // Every worker makes at least one call, even when it starts late.
        long n = 0;
        do {
            kind_ = static_cast<int>((n++ + id_) % 4);
            switch (kind_) {
                case 0: timed([&](bool* right) { return state(right); }); break;
                case 1: timed([&](bool* right) { return systemRecord(right); }); break;
                case 2: {
                    std::lock_guard<std::mutex> turn(turn_);
                    timed([&](bool* right) { return execute(right); });
                    break;
                }
                default: {
                    std::lock_guard<std::mutex> turn(turn_);
                    timed([&](bool* right) { return roundTrip(right); });
                    break;
                }
            }
        } while (!stop.load(std::memory_order_relaxed));
    }
    const Tally& tally() const { return t_; }

private:
    template <class Call>
    void timed(Call call) {
        const auto start = Clock::now();
        bool right = false;
        const int32_t r = call(&right);
        const auto took = Clock::now() - start;
        ++t_.calls;
        t_.longest = std::max(t_.longest, took);
        if (took > kCallBudget) ++t_.overBudget;
        if (r != 0)
            ++t_.failures[r];
        else if (!right) {
            ++t_.wrong;
            ++t_.wrongByKind[kind_];
        }
    }
    int32_t state(bool* right) {
        uint8_t s = 0xEE;
        const int32_t r = TVX_GetState(h_, &s);
        *right = s != 0xEE;  // the field was written from the reply
        return r;
    }
    int32_t systemRecord(bool* right) {
        TVX_SysSpecification s;
        std::memset(&s, 0xEE, sizeof s);
        const int32_t r = TVX_GetSysSpecification(h_, &s);
        *right = s.axisCount == axes_;
        return r;
    }
    int32_t execute(bool* right) {
        const int a = static_cast<int>(rng_() % 1000), b = static_cast<int>(rng_() % 1000);
        const std::string command = "?" + std::to_string(a) + "*" + std::to_string(b);
        char answer[64] = {};
        const bool fixed = (n_++ % 2) != 0;
        const int32_t r = TVX_Execute(h_, fixed ? "?6*7" : command.c_str(), 5000, answer, sizeof answer);
        const std::string expected = fixed ? "42" : std::to_string(a * b);
        *right = std::strncmp(answer, expected.c_str(), expected.size()) == 0 &&
                 (answer[expected.size()] == '\0' || answer[expected.size()] == '\r' || answer[expected.size()] == '\n' ||
                  answer[expected.size()] == ' ');
        return r;
    }
    int32_t roundTrip(bool* right) {
        std::vector<uint8_t> data(1 + rng_() % 3000);
        for (auto& byte : data) byte = static_cast<uint8_t>(rng_());
        const std::string name = "S" + std::to_string(id_);
        int32_t r = TVX_DownMemFile(h_, data.data(), static_cast<uint32_t>(data.size()), name.c_str());
        if (r != 0) return r;
        std::vector<uint8_t> back(data.size() + 16);
        uint32_t got = 0;
        r = TVX_UpFileToMem(h_, back.data(), static_cast<uint32_t>(back.size()), name.c_str(), &got);
        back.resize(std::min<size_t>(got, back.size()));
        *right = back == data;
        return r;
    }

    TVX_HANDLE h_;
    int id_;
    uint16_t axes_;
    std::mutex& turn_;  // the simulator's command line and transfer
    std::mt19937 rng_;
    long n_ = 0;
    int kind_ = 0;
    Tally t_;
};

TEST(Soak, EveryHandleBusyFromFourThreads) {
    std::vector<std::unique_ptr<testing::UdpSim>> sims;
    std::vector<uint16_t> axes;
    for (int s = 0; s < kSimulators; ++s) {
        sims.push_back(std::make_unique<testing::UdpSim>("127.0.0." + std::to_string(60 + s)));
        ASSERT_TRUE(sims.back()->start()) << sims.back()->address();
        axes.push_back(sims.back()->withModel([](sim::ControllerModel& m) { return static_cast<uint16_t>(m.axisCount); }));
    }
    std::vector<TVX_HANDLE> handles(kHandles, nullptr);
    for (int i = 0; i < kHandles; ++i) {
        ASSERT_EQ(TVX_FastOpen(TVX_LINK_ETHERNET, sims[i % kSimulators]->address().c_str(), kTimeoutMs, &handles[i]), 0)
            << "handle " << i;
    }

    std::vector<std::mutex> turns(kSimulators);
    std::vector<std::unique_ptr<Worker>> workers;
    for (int i = 0; i < kHandles; ++i)
        for (int k = 0; k < kThreadsPerHandle; ++k)
            workers.push_back(std::make_unique<Worker>(handles[i], i * kThreadsPerHandle + k, axes[i % kSimulators],
                                                       turns[i % kSimulators]));

    std::atomic<bool> stop{false};
    std::mutex m;
    std::condition_variable done;
    size_t finished = 0;
    std::vector<std::thread> threads;
    threads.reserve(workers.size());
    for (auto& w : workers) {
        threads.emplace_back([&, worker = w.get()] {
            worker->run(stop);
            std::lock_guard<std::mutex> lock(m);
            ++finished;
            done.notify_all();
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(soakSeconds()));
    stop = true;
    {
        // The watchdog: a worker stuck in a call past the bound is a
        // deadlock. Joining it would hang the suite, so end the run.
        std::unique_lock<std::mutex> lock(m);
        if (!done.wait_for(lock, kJoinBound, [&] { return finished == threads.size(); })) {
            std::fprintf(stderr, "soak: %zu of %zu workers still in a call %lld s after the stop (deadlock)\n",
                         threads.size() - finished, threads.size(), static_cast<long long>(kJoinBound.count()));
            std::abort();
        }
    }
    for (auto& t : threads) t.join();

    Tally all;
    for (auto& w : workers) {
        const Tally& t = w->tally();
        all.calls += t.calls;
        all.wrong += t.wrong;
        all.overBudget += t.overBudget;
        for (int k = 0; k < 4; ++k) all.wrongByKind[k] += t.wrongByKind[k];
        all.longest = std::max(all.longest, t.longest);
        for (const auto& [code, count] : t.failures) all.failures[code] += count;
    }
    for (TVX_HANDLE h : handles) EXPECT_EQ(TVX_Close(h), 0);
    for (auto& s : sims) s->stop();

    long failed = 0;
    std::string byCode;
    for (const auto& [code, count] : all.failures) {
        failed += count;
        byCode += " " + std::to_string(code) + ":" + std::to_string(count);
    }
    std::printf("\n%-10s %-8s %-8s %-10s %-6s %-10s %s\n", "seconds", "handles", "threads", "calls", "wrong", "longest", "failures by code");
    std::printf("%-10d %-8d %-8zu %-10ld %-6ld %-7lld ms %s\n", soakSeconds(), kHandles, threads.size(), all.calls, all.wrong,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(all.longest).count()),
                byCode.empty() ? " none" : byCode.c_str());

    std::printf("wrong by call: state %ld, system record %ld, text command %ld, round trip %ld\n", all.wrongByKind[0],
                all.wrongByKind[1], all.wrongByKind[2], all.wrongByKind[3]);
    EXPECT_GE(all.calls, static_cast<long>(threads.size()));  // every worker got through calls
    EXPECT_EQ(all.wrong, 0);
    EXPECT_EQ(all.overBudget, 0);
    // A healthy simulator on loopback: no call fails.
    EXPECT_EQ(failed, 0) << byCode;
}

}  // namespace
}  // namespace tvx
