// Transactions per second of one handle against a tavrix-sim process (not
// a simulator thread of this process): the rate the user path of an upload
// is bounded by, one block per transaction. The address comes from
// TVX_BENCH_SIM_ADDRESS; without it the benchmark is skipped.
// scripts/bench-userpath.sh starts the simulator and sets it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "tavrix.h"

namespace {

void BM_TransactionsToSimProcess(benchmark::State& state) {
    const char* address = std::getenv("TVX_BENCH_SIM_ADDRESS");
    if (!address || !*address) {
        state.SkipWithError("TVX_BENCH_SIM_ADDRESS names no running tavrix-sim");
        return;
    }
    TVX_HANDLE h = nullptr;
    if (TVX_Open(TVX_LINK_ETHERNET, address, &h) != 0) {
        state.SkipWithError((std::string("open of ") + address + " failed").c_str());
        return;
    }
    uint8_t s = 0;
    for (auto _ : state) {
        if (TVX_GetState(h, &s) != 0) {
            state.SkipWithError("a transaction failed");
            break;
        }
    }
    state.counters["tx/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    TVX_Close(h);
}
BENCHMARK(BM_TransactionsToSimProcess)->MinTime(1.0)->UseRealTime();

}  // namespace
