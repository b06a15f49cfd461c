// Bulk transfers and transaction rates over loopback UDP against the
// simulator (blocks of 992 bytes, a window of 100):
//  - a 64 MiB download and upload through the exports, beside a raw
//    windowed UDP stream of 992-byte datagrams acknowledged every 100 with
//    a 4 MiB receive buffer (the ceiling of the wire), all as MiB/s;
//  - the upload also reports the ceiling a request/reply design allows on
//    its handle: transactions per second (TVX_GetState, measured first)
//    times the upload block;
//  - transactions per second with 1 to 64 handles from as many threads to
//    several simulators, as an aggregate rate;
//  - the same 64 MiB under 1 % request loss and under 1 % reply loss, with
//    the default fixed resend wait and with the adaptive one (resend=1,
//    floor 1 ms, cap 1000 ms); the run fails when the data does not come
//    back intact.
// Binding port 502 needs root or a network namespace: run through
// scripts/bench.sh.
#include <benchmark/benchmark.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace {

using tvx::platform::UdpSocket;

constexpr uint32_t kBulkBytes = 64u << 20;
constexpr uint16_t kBlockBytes = 992;
constexpr uint16_t kWindow = 100;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr const char* kFileName = "BULK.BIN";

uint32_t ipOf(const char* text) {
    uint32_t ip = 0;
    tvx::platform::parseIpv4(text, &ip);
    return ip;
}

const std::vector<uint8_t>& bulkData() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(kBulkBytes);
        uint64_t x = 0x2545F4914F6CDD1Dull;
        for (auto& b : d) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            b = static_cast<uint8_t>(x);
        }
        return d;
    }();
    return data;
}

benchmark::Counter mibPerSecond(double bytes) {
    return benchmark::Counter(bytes / kMiB, benchmark::Counter::kIsRate);
}

// A simulator on `address` with the block size and window of these runs;
// null (and the benchmark skipped) when it cannot serve.
std::unique_ptr<tvx::testing::UdpSim> startSim(benchmark::State& state, const std::string& address,
                                               tvx::sim::FaultPlan plan = {}) {
    auto sim = std::make_unique<tvx::testing::UdpSim>(address, plan);
    tvx::sim::TransferSettings& s = sim->controller.transfers().settings();
    s.largestBlock = kBlockBytes;
    s.uploadBlock = kBlockBytes;
    s.window = kWindow;
    if (!sim->start()) {
        state.SkipWithError(("cannot bind " + address + ":502 (run as root or in a network namespace)").c_str());
        return nullptr;
    }
    return sim;
}

TVX_HANDLE openHandle(benchmark::State& state, const std::string& address, bool adaptiveResend = false) {
    TVX_HANDLE h = nullptr;
    if (TVX_Open(TVX_LINK_ETHERNET, address.c_str(), &h) != 0) {
        state.SkipWithError(("open of " + address + " failed").c_str());
        return nullptr;
    }
    if (adaptiveResend && TVX_SetResendPolicy(h, TVX_RESEND_ADAPTIVE, 1, 1000) != 0) {
        state.SkipWithError("the adaptive resend policy was refused");
        TVX_Close(h);
        return nullptr;
    }
    return h;
}

// The resend policy's first wait after the run, as a counter.
void reportResendWait(benchmark::State& state, TVX_HANDLE h) {
    uint32_t first = 0, smoothed = 0, variation = 0;
    if (TVX_GetResendEstimate(h, &first, &smoothed, &variation) == 0) {
        state.counters["first_wait_ms"] = first;
        state.counters["srtt_us"] = smoothed;
    }
}

// True when the simulator holds the bulk data under the bulk file name.
bool simHoldsBulk(tvx::testing::UdpSim& sim) {
    std::lock_guard<std::mutex> lock(sim.controller.mutex());
    const auto* file = sim.controller.transfers().files().get(kFileName);
    return file && *file == bulkData();
}

void putBulkIntoSim(tvx::testing::UdpSim& sim) {
    std::lock_guard<std::mutex> lock(sim.controller.mutex());
    sim.controller.transfers().files().put(kFileName, bulkData());
}

tvx::sim::FaultPlan lossPlan(int64_t kind) {
    tvx::sim::FaultPlan p;
    p.seed = 19;
    if (kind == 1) p.dropRequests = 0.01;
    if (kind == 2) p.dropReplies = 0.01;
    return p;
}

// 64 MiB from host to controller; loss: 0 none, 1 requests, 2 replies;
// resend: 0 fixed, 1 adaptive.
void BM_Download64MiB(benchmark::State& state) {
    const std::string address = "127.0.0." + std::to_string(71 + state.range(0) + 10 * state.range(1));
    auto sim = startSim(state, address, lossPlan(state.range(0)));
    if (!sim) return;
    TVX_HANDLE h = openHandle(state, address, state.range(1) != 0);
    if (!h) return;
    const auto& data = bulkData();
    for (auto _ : state) {
        const int32_t r = TVX_DownMemFile(h, data.data(), kBulkBytes, kFileName);
        if (r != 0) {
            state.SkipWithError(("download failed with " + std::to_string(r)).c_str());
            break;
        }
        state.PauseTiming();
        const bool intact = simHoldsBulk(*sim);
        state.ResumeTiming();
        if (!intact) {
            state.SkipWithError("the controller's copy differs from the data sent");
            break;
        }
    }
    state.counters["MiB/s"] = mibPerSecond(static_cast<double>(state.iterations()) * kBulkBytes);
    reportResendWait(state, h);
    TVX_Close(h);
}

// 64 MiB from controller to host, beside the ceiling of its handle:
// transactions per second times the upload block.
void BM_Upload64MiB(benchmark::State& state) {
    const std::string address = "127.0.0." + std::to_string(75 + state.range(0) + 10 * state.range(1));
    auto sim = startSim(state, address, lossPlan(state.range(0)));
    if (!sim) return;
    putBulkIntoSim(*sim);
    TVX_HANDLE h = openHandle(state, address, state.range(1) != 0);
    if (!h) return;
    // The ceiling is measured beside each upload, half before and half after
    // it, on the same handle: a machine whose load drifts moves both alike.
    constexpr int kProbeTransactions = 10000;
    double probeSeconds = 0;
    auto probe = [&] {
        if (state.range(0) != 0) return;  // under loss the resends would rule it
        uint8_t s = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kProbeTransactions; ++i) TVX_GetState(h, &s);
        probeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    std::vector<uint8_t> back(kBulkBytes);
    double transferSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        probe();
        state.ResumeTiming();
        uint32_t got = 0;
        const auto start = std::chrono::steady_clock::now();
        const int32_t r = TVX_UpFileToMem(h, back.data(), kBulkBytes, kFileName, &got);
        transferSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r != 0) {
            state.SkipWithError(("upload failed with " + std::to_string(r)).c_str());
            break;
        }
        state.PauseTiming();
        probe();
        const bool intact = got == kBulkBytes && back == bulkData();
        std::memset(back.data(), 0, back.size());
        state.ResumeTiming();
        if (!intact) {
            state.SkipWithError("the uploaded data differs from the controller's file");
            break;
        }
    }
    state.counters["MiB/s"] = mibPerSecond(static_cast<double>(state.iterations()) * kBulkBytes);
    if (state.range(0) == 0 && transferSeconds > 0 && probeSeconds > 0) {
        const double ceiling =
            static_cast<double>(state.iterations()) * 2 * kProbeTransactions / probeSeconds * kBlockBytes / kMiB;
        state.counters["ceiling_MiB/s"] = ceiling;
        state.counters["of_ceiling"] = static_cast<double>(state.iterations()) * kBulkBytes / kMiB / transferSeconds / ceiling;
    }
    reportResendWait(state, h);
    TVX_Close(h);
}

// Both transfers under both resend policies, with and without loss. Each
// case runs rounds for at least 2 s against a simulator of its own, whose
// first round pays its first-time costs (fresh pages for 64 MiB): with the
// same least time those weigh alike in the lossless and the lossy figures
// that are compared. A case slower than that runs one round.
void registerTransferRuns(const char* name, void (*run)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, run)
        ->ArgsProduct({{0, 1, 2}, {0, 1}})
        ->ArgNames({"loss", "resend"})
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
const bool kTransferRunsRegistered = [] {
    registerTransferRuns("BM_Download64MiB", BM_Download64MiB);
    registerTransferRuns("BM_Upload64MiB", BM_Upload64MiB);
    return true;
}();

// The wire's ceiling: 64 MiB as 992-byte datagrams, the receiver
// acknowledging every 100th and the last; the sender waits for each
// acknowledgement before the next window.
void BM_RawWindowedStream(benchmark::State& state) {
    UdpSocket receiver, sender;
    receiver.open();
    sender.open();
    const uint32_t receiverIp = ipOf("127.0.0.79");
    constexpr uint16_t kPort = 40700;
    if (!receiver.bind(receiverIp, kPort) || !sender.bind(0, 0)) {
        state.SkipWithError("bind failed");
        return;
    }
    receiver.setReceiveBuffer(4 * 1024 * 1024);
    sender.setReceiveTimeout(1000);
    constexpr uint32_t kDatagrams = (kBulkBytes + kBlockBytes - 1) / kBlockBytes;
    std::atomic<bool> stop{false};
    std::thread sink([&] {
        uint8_t b[2048];
        uint32_t ip;
        uint16_t port;
        while (!stop) {
            const int n = receiver.receiveFrom(b, sizeof b, &ip, &port);
            if (n < 4) continue;
            uint32_t index;
            std::memcpy(&index, b, sizeof index);
            if ((index + 1) % kWindow == 0 || index + 1 == kDatagrams) receiver.sendTo(ip, port, b, 4);
        }
    });
    const auto& data = bulkData();
    uint8_t datagram[kBlockBytes + 4];
    bool lost = false;
    for (auto _ : state) {
        for (uint32_t i = 0; i < kDatagrams && !lost; ++i) {
            const uint32_t at = i * kBlockBytes;
            const uint32_t n = std::min<uint32_t>(kBlockBytes, kBulkBytes - at);
            std::memcpy(datagram, &i, sizeof i);
            std::memcpy(datagram + 4, data.data() + at, n);
            sender.sendTo(receiverIp, kPort, datagram, n + 4);
            if ((i + 1) % kWindow == 0 || i + 1 == kDatagrams) {
                uint8_t ack[16];
                if (sender.receiveFrom(ack, sizeof ack, nullptr, nullptr) != 4) lost = true;
            }
        }
        if (lost) {
            state.SkipWithError("a datagram or acknowledgement was lost");
            break;
        }
    }
    state.counters["MiB/s"] = mibPerSecond(static_cast<double>(state.iterations()) * kBulkBytes);
    stop = true;
    receiver.interrupt();
    sink.join();
}
BENCHMARK(BM_RawWindowedStream)->Unit(benchmark::kMillisecond)->UseRealTime();

// Transactions (TVX_GetState) from N threads, each with a handle of its
// own, spread over up to eight simulators; the aggregate rate.
void BM_TransactionsAcrossHandles(benchmark::State& state) {
    const int handles = static_cast<int>(state.range(0));
    const int sims = std::min(handles, 8);
    std::vector<std::unique_ptr<tvx::testing::UdpSim>> simulators;
    for (int i = 0; i < sims; ++i) {
        simulators.push_back(startSim(state, "127.0.0." + std::to_string(100 + i)));
        if (!simulators.back()) return;
    }
    std::vector<TVX_HANDLE> hs;
    for (int i = 0; i < handles; ++i) {
        TVX_HANDLE h = openHandle(state, "127.0.0." + std::to_string(100 + i % sims));
        if (!h) break;
        hs.push_back(h);
    }
    if (static_cast<int>(hs.size()) == handles) {
        // Each round every thread runs its share of kRound transactions.
        constexpr int kRound = 2048;
        const int each = std::max(16, kRound / handles);
        std::barrier start(handles + 1), done(handles + 1);
        std::atomic<bool> stop{false}, failed{false};
        std::vector<std::thread> workers;
        for (int t = 0; t < handles; ++t)
            workers.emplace_back([&, t] {
                for (;;) {
                    start.arrive_and_wait();
                    if (stop) return;
                    uint8_t s = 0;
                    for (int i = 0; i < each; ++i)
                        if (TVX_GetState(hs[static_cast<size_t>(t)], &s) != 0) failed = true;
                    done.arrive_and_wait();
                }
            });
        for (auto _ : state) {
            start.arrive_and_wait();
            done.arrive_and_wait();
        }
        stop = true;
        start.arrive_and_wait();
        for (auto& w : workers) w.join();
        if (failed) state.SkipWithError("a transaction failed");
        state.SetItemsProcessed(state.iterations() * handles * each);
        state.counters["tx/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * handles * each,
                                                    benchmark::Counter::kIsRate);
    }
    for (TVX_HANDLE h : hs) TVX_Close(h);
}
BENCHMARK(BM_TransactionsAcrossHandles)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->ArgName("handles")->UseRealTime();

}  // namespace
