// CRC-16 throughput against a plain bitwise reference, and transactions per
// second through the whole library over the in-process link.
#include <benchmark/benchmark.h>

#include <vector>

#include "channel/crc16.h"
#include "engine/inprocess_link.h"
#include "support/frames.h"
#include "tavrix.h"

namespace {

std::vector<uint8_t> frameBytes(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 31 + 7);
    return v;
}

void BM_Crc16Tables(benchmark::State& state) {
    const auto data = frameBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(tvx::crc16Wire(data.data(), data.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Tables)->Arg(256)->Arg(2048);

void BM_Crc16Bitwise(benchmark::State& state) {
    const auto data = frameBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(tvx::testing::referenceCrc(data.data(), data.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Bitwise)->Arg(256)->Arg(2048);

void BM_InProcessGetState(benchmark::State& state) {
    tvx::sim::Controller controller;
    tvx::sim::InProcessLink link;
    link.controller = &controller;
    link.framing = state.range(0) ? tvx::Framing::tcp : tvx::Framing::rtu;
    TVX_HANDLE h = nullptr;
    if (tvx::sim::openInProcess(link, &h) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    uint8_t s = 0;
    for (auto _ : state) benchmark::DoNotOptimize(TVX_GetState(h, &s));
    state.SetItemsProcessed(state.iterations());
    TVX_Close(h);
}
BENCHMARK(BM_InProcessGetState)->Arg(0)->Arg(1)->ArgName("tcp");

}  // namespace
