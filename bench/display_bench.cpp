// Screen refreshes per second over loopback UDP against the simulator:
// whole 800 x 480 screens and changed-region passes, beside the plain
// transaction rate (TVX_GetState) of the same link, in one run. Binding
// port 502 needs root or a network namespace: run through scripts/bench.sh.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/display_service.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace {

struct Link {
    explicit Link(const char* address) : sim(address) {}
    bool open(benchmark::State& state) {
        if (!sim.start()) {
            state.SkipWithError("cannot bind port 502 (run as root or in a network namespace)");
            return false;
        }
        if (TVX_Open(TVX_LINK_ETHERNET, sim.address().c_str(), &handle) != 0 ||
            TVX_ELcdOpen(handle, 0, &screen.info) != 0) {
            state.SkipWithError("open failed");
            return false;
        }
        pixels.assign(static_cast<size_t>(screen.info.width * screen.info.height), 0);
        return true;
    }
    ~Link() {
        if (handle) TVX_Close(handle);
    }
    int32_t pass() {
        const int32_t r = TVX_ELcdDataCheckAndGetAll(handle, 0, &screen, pixels.data());
        return r != 0 ? r : TVX_ELcdDataGetEnd(handle, 0);
    }
    tvx::testing::UdpSim sim;
    TVX_HANDLE handle = nullptr;
    TVX_LcdScreen screen{};
    std::vector<uint16_t> pixels;
};

void BM_TransactionCeiling(benchmark::State& state) {
    Link link("127.0.0.81");
    if (!link.open(state)) return;
    uint8_t s = 0;
    for (auto _ : state)
        if (TVX_GetState(link.handle, &s) != 0) state.SkipWithError("transaction failed");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TransactionCeiling)->UseRealTime();

// Every pass fetches the whole screen: the simulator is told to report it
// as changed before each check.
void BM_FullScreenRefresh(benchmark::State& state) {
    Link link("127.0.0.82");
    if (!link.open(state)) return;
    auto* display = link.sim.controller.service<tvx::sim::DisplayService>();
    int64_t transactions = 0;
    for (auto _ : state) {
        {
            std::lock_guard<std::mutex> lock(link.sim.controller.mutex());
            display->panel().invalidate();
        }
        const uint32_t before = display->fetches();
        if (link.pass() != 0) state.SkipWithError("refresh failed");
        transactions += 2 + (display->fetches() - before);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["transactions_per_refresh"] =
        benchmark::Counter(static_cast<double>(transactions) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FullScreenRefresh)->UseRealTime();

// The usual pass: a touch changes a few items, the check reports them.
void BM_ChangedRegionRefresh(benchmark::State& state) {
    Link link("127.0.0.83");
    if (!link.open(state)) return;
    link.pass();  // the whole screen once, after the open
    uint16_t key = 0;
    for (auto _ : state) {
        TVX_ELcdKeySet(link.handle, 0, ++key, 1);
        if (link.pass() != 0) state.SkipWithError("refresh failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChangedRegionRefresh)->UseRealTime();

}  // namespace
