// Transactions per second over loopback UDP: TVX_GetState and register
// reads with TVX_Modbus_Get4x against the simulator, beside a raw UDP
// request/reply loop with a receive-thread and event hand-off, a raw loop
// whose caller receives its reply itself, and libmodbus TCP reading the same
// two holding registers. Binding port 502 needs root or a network
// namespace: run through scripts/bench.sh.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include <unistd.h>

#include "platform/platform.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace {

using tvx::platform::UdpSocket;

uint32_t ipOf(const char* text) {
    uint32_t ip = 0;
    tvx::platform::parseIpv4(text, &ip);
    return ip;
}

// A trace callback that only counts: the cost measured is the hook's own.
void countFrame(const TVX_TraceEvent*, void* context) {
    static_cast<std::atomic<uint64_t>*>(context)->fetch_add(1, std::memory_order_relaxed);
}

void BM_TavrixGetStateUdp(benchmark::State& state) {
    tvx::testing::UdpSim sim("127.0.0.61");
    if (!sim.start()) {
        state.SkipWithError("cannot bind 127.0.0.61:502 (run as root or in a network namespace)");
        return;
    }
    TVX_HANDLE h = nullptr;
    if (TVX_Open(TVX_LINK_ETHERNET, "127.0.0.61", &h) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    std::atomic<uint64_t> frames{0};
    if (state.range(0)) TVX_SetTraceCallback(countFrame, &frames, 0);
    uint8_t s = 0;
    for (auto _ : state)
        if (TVX_GetState(h, &s) != 0) state.SkipWithError("transaction failed");
    state.SetItemsProcessed(state.iterations());
    TVX_SetTraceCallback(nullptr, nullptr, 0);
    state.counters["frames"] = static_cast<double>(frames.load());
    TVX_Close(h);
}
// traced:1 sets a trace callback, traced:0 leaves the hook unset.
BENCHMARK(BM_TavrixGetStateUdp)->Arg(0)->Arg(1)->ArgName("traced")->UseRealTime();

// Register reads through the standard Modbus function 3, reading the same
// two registers as the libmodbus TCP client below.
void BM_TavrixGet4xUdp(benchmark::State& state) {
    tvx::testing::UdpSim sim("127.0.0.64");
    if (!sim.start()) {
        state.SkipWithError("cannot bind 127.0.0.64:502 (run as root or in a network namespace)");
        return;
    }
    TVX_HANDLE h = nullptr;
    if (TVX_Open(TVX_LINK_ETHERNET, "127.0.0.64", &h) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    uint16_t regs[2];
    for (auto _ : state)
        if (TVX_Modbus_Get4x(h, 0, 2, regs) != 0) state.SkipWithError("read failed");
    state.SetItemsProcessed(state.iterations());
    TVX_Close(h);
}
BENCHMARK(BM_TavrixGet4xUdp)->UseRealTime();

// The peer of the raw loops: a thread that sends every datagram back to
// where it came from, and the client socket the loop sends from.
class EchoPeer {
public:
    explicit EchoPeer(const char* address) : ip_(ipOf(address)) {
        server_.open();
        client_.open();
        ok_ = server_.bind(ip_, kPort) && client_.bind(0, 0);
        if (ok_) echo_ = std::thread([this] { run(); });
    }
    ~EchoPeer() { stop(); }
    // Ends the echo and wakes any receive blocked on the client socket.
    void stop() {
        stop_ = true;
        server_.interrupt();
        client_.interrupt();
        if (echo_.joinable()) echo_.join();
    }
    bool ok() const { return ok_; }
    UdpSocket& client() { return client_; }
    void sendRequest() {
        static const uint8_t request[14] = {0, 0, 0, 0, 0, 8, 254, 72, 6, 0, 1, 0, 0, 0};
        client_.sendTo(ip_, kPort, request, sizeof request);
    }
    const std::atomic<bool>& stopped() const { return stop_; }

private:
    void run() {
        uint8_t b[2048];
        uint32_t ip;
        uint16_t port;
        while (!stop_) {
            const int n = server_.receiveFrom(b, sizeof b, &ip, &port);
            if (n > 0) server_.sendTo(ip, port, b, static_cast<size_t>(n));
        }
    }
    static constexpr uint16_t kPort = 40502;
    uint32_t ip_;
    UdpSocket server_, client_;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread echo_;
};

// The raw loop with a hand-off: the client's receive thread hands each reply
// to the waiting caller through an event.
void BM_RawUdpHandOff(benchmark::State& state) {
    EchoPeer peer("127.0.0.62");
    if (!peer.ok()) {
        state.SkipWithError("bind failed");
        return;
    }
    tvx::platform::Event ready;
    ready.create(false);
    std::thread receiver([&] {
        uint8_t b[2048];
        while (!peer.stopped())
            if (peer.client().receiveFrom(b, sizeof b, nullptr, nullptr) > 0) ready.set();
    });
    for (auto _ : state) {
        peer.sendRequest();
        if (!ready.waitFor(1000)) state.SkipWithError("lost datagram");
    }
    state.SetItemsProcessed(state.iterations());
    peer.stop();
    receiver.join();
}
BENCHMARK(BM_RawUdpHandOff)->UseRealTime();

// The raw loop without a receive thread: the caller sends and then blocks
// in the receive for its reply itself, the least a UDP transaction costs.
void BM_RawUdpDirect(benchmark::State& state) {
    EchoPeer peer("127.0.0.65");
    if (!peer.ok()) {
        state.SkipWithError("bind failed");
        return;
    }
    peer.client().setReceiveTimeout(1000);
    uint8_t reply[2048];
    for (auto _ : state) {
        peer.sendRequest();
        if (peer.client().receiveFrom(reply, sizeof reply, nullptr, nullptr) <= 0) state.SkipWithError("lost datagram");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawUdpDirect)->UseRealTime();

void BM_LibmodbusTcpRead2(benchmark::State& state) {
    modbus_t* server = modbus_new_tcp("127.0.0.63", 41502);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 16, 0);
    const int listener = modbus_tcp_listen(server, 1);
    if (listener < 0) {
        state.SkipWithError("libmodbus listen failed");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread serve([&] {
        int fd = listener;
        modbus_tcp_accept(server, &fd);
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop) {
            const int n = modbus_receive(server, query);
            if (n > 0)
                modbus_reply(server, query, n, map);
            else if (n < 0)
                break;
        }
    });
    modbus_t* client = modbus_new_tcp("127.0.0.63", 41502);
    if (modbus_connect(client) != 0) {
        state.SkipWithError("libmodbus connect failed");
    } else {
        uint16_t regs[2];
        for (auto _ : state)
            if (modbus_read_registers(client, 0, 2, regs) != 2) state.SkipWithError("read failed");
        state.SetItemsProcessed(state.iterations());
    }
    stop = true;
    modbus_close(client);
    modbus_free(client);
    serve.join();
    modbus_mapping_free(map);
    modbus_close(server);
    modbus_free(server);
    ::close(listener);
}
BENCHMARK(BM_LibmodbusTcpRead2)->UseRealTime();

}  // namespace
