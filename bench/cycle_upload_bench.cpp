// Cycle-upload blocks per second over loopback UDP. The simulator's engine
// builds and frames blocks as fast as it can and sends them: once to a bare
// socket that only counts datagrams (the raw rate the simulator pushes), and
// once to a library handle whose receive thread files them into the upload
// buffer while a host thread keeps reading values (the rate the library
// absorbs). Compare items_per_second (pushed) with `absorbed` of the
// library run. Binding port 502 needs root or a network namespace: run
// through scripts/bench.sh.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/cycle_upload_service.h"
#include "frame/library_frame.h"
#include "platform/platform.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace {

using tvx::platform::UdpSocket;

constexpr const char* kItems = "VR(0,16) DPOS(0,4) MPOS(0,4) IN(0,32) TICKS";

struct Pusher {
    tvx::testing::UdpSim sim;
    TVX_HANDLE handle = nullptr;
    uint64_t origin = 0;
    uint8_t buffer = 0;
    UdpSocket out;

    explicit Pusher(const char* address) : sim(address) {}
    ~Pusher() {
        if (handle) TVX_Close(handle);
    }
    // Opens a handle and enables an upload with a long cycle, so that the
    // simulator's own loop stays quiet and the benchmark does the pushing.
    const char* start() {
        // This program links the static library: its load step is ours.
        if (tvx::libraryLoad() != 0) return "library load failed";
        if (!sim.start()) return "cannot bind port 502 (run as root or in a network namespace)";
        if (TVX_Open(TVX_LINK_ETHERNET, sim.address().c_str(), &handle) != 0) return "open failed";
        if (TVX_CycleUpEnable(handle, 1, 600000, kItems) != 0) return "enable failed";
        std::lock_guard<std::mutex> lock(sim.controller.mutex());
        auto* service = sim.controller.service<tvx::sim::CycleUploadService>();
        if (!service || service->runningUploads() != 1) return "no upload running";
        origin = service->uploadOrigin(0);
        buffer = service->uploadBuffer(0);
        out.open();
        out.bind(0, 0);
        return nullptr;
    }
    // Builds, frames and sends one block to ip:port.
    bool pushOne(uint32_t ip, uint16_t port, std::vector<uint8_t>& frame) {
        {
            std::lock_guard<std::mutex> lock(sim.controller.mutex());
            auto* service = sim.controller.service<tvx::sim::CycleUploadService>();
            tvx::sim::PushedPacket p;
            if (!service->blockPacket(sim.controller, origin, buffer, p)) return false;
            if (!sim.controller.framePush(tvx::Framing::tcp, p, frame)) return false;
        }
        return out.sendTo(ip, port, frame.data(), frame.size()) > 0;
    }
};

void BM_CycleRawPush(benchmark::State& state) {
    Pusher pusher("127.0.0.71");
    if (const char* why = pusher.start()) {
        state.SkipWithError(why);
        return;
    }
    UdpSocket sink;
    sink.open();
    uint32_t ip = 0;
    tvx::platform::parseIpv4("127.0.0.72", &ip);
    if (!sink.bind(ip, 40710)) {
        state.SkipWithError("cannot bind the counting socket");
        return;
    }
    sink.setReceiveBuffer(4 * 1024 * 1024);
    sink.setReceiveTimeout(50);
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> counted{0};
    std::thread counter([&] {
        uint8_t b[2048];
        while (!stop.load())
            if (sink.receiveFrom(b, sizeof b, nullptr, nullptr) > 0) counted.fetch_add(1, std::memory_order_relaxed);
    });
    std::vector<uint8_t> frame;
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state)
        if (!pusher.pushOne(ip, 40710, frame)) state.SkipWithError("push failed");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the counter drain
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() - 0.1;
    stop = true;
    counter.join();
    state.SetItemsProcessed(state.iterations());
    state.counters["received"] = benchmark::Counter(static_cast<double>(counted.load()) / seconds);
}
BENCHMARK(BM_CycleRawPush)->UseRealTime();

void BM_CycleLibraryAbsorbs(benchmark::State& state) {
    Pusher pusher("127.0.0.73");
    if (const char* why = pusher.start()) {
        state.SkipWithError(why);
        return;
    }
    const uint32_t ip = static_cast<uint32_t>(pusher.origin >> 16);
    const uint16_t port = static_cast<uint16_t>(pusher.origin & 0xFFFF);
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> reads{0};
    std::thread reader([&] {
        double v = 0;
        while (!stop.load()) {
            TVX_CycleUpReadBuff(pusher.handle, 1, "DPOS", 2, &v);
            TVX_CycleUpReadBuff(pusher.handle, 1, "TICKS", 0, &v);
            reads.fetch_add(1, std::memory_order_relaxed);
        }
    });
    const uint32_t before = TVX_CycleUpGetRecvTimes(pusher.handle, 1);
    std::vector<uint8_t> frame;
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state)
        if (!pusher.pushOne(ip, port, frame)) state.SkipWithError("push failed");
    // Wait until the receive thread has taken what reached its socket.
    uint32_t absorbed = TVX_CycleUpGetRecvTimes(pusher.handle, 1);
    for (int quiet = 0; quiet < 5;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const uint32_t now = TVX_CycleUpGetRecvTimes(pusher.handle, 1);
        quiet = now == absorbed ? quiet + 1 : 0;
        absorbed = now;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() - 0.1;
    stop = true;
    reader.join();
    state.SetItemsProcessed(state.iterations());
    state.counters["absorbed"] = benchmark::Counter(static_cast<double>(absorbed - before) / seconds);
    state.counters["reads"] = benchmark::Counter(static_cast<double>(reads.load()) / seconds);
    state.counters["lost"] =
        static_cast<double>(state.iterations() - std::min<uint64_t>(state.iterations(), absorbed - before));
}
BENCHMARK(BM_CycleLibraryAbsorbs)->UseRealTime();

}  // namespace
