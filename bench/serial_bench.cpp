// Transactions per second over a pseudo-terminal pair: the library's
// TVX_GetState on a serial handle against the simulated controller, beside
// libmodbus RTU reading two registers from a libmodbus server, both without
// any baud pacing (a pseudo-terminal moves bytes at memory speed).
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "engine/controller.h"
#include "server/serial_server.h"
#include "tavrix.h"

namespace {

void BM_TavrixGetStatePty(benchmark::State& state) {
    tvx::sim::Controller controller;
    tvx::sim::SerialServer server(controller, tvx::sim::FaultPlan{}, 0);
    std::string message;
    if (!server.open("", &message)) {
        state.SkipWithError(message.c_str());
        return;
    }
    std::atomic<int> stop{0};
    std::thread serving([&] { server.run(stop); });
    setenv("TAVRIX_COM900", server.devicePath().c_str(), 1);
    TVX_HANDLE h = nullptr;
    if (TVX_OpenCom(900, &h) != 0) {
        state.SkipWithError("open failed");
    } else {
        uint8_t s;
        for (auto _ : state)
            if (TVX_GetState(h, &s) != 0) state.SkipWithError("request failed");
        TVX_Close(h);
    }
    unsetenv("TAVRIX_COM900");
    stop = 1;
    serving.join();
}
BENCHMARK(BM_TavrixGetStatePty)->UseRealTime();

void BM_LibmodbusRtuRead2Pty(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    // The server answers on the terminal's master side, the client opens
    // its device as a serial port.
    modbus_t* server = modbus_new_rtu("/dev/null", 38400, 'N', 8, 1);
    modbus_set_slave(server, 1);
    modbus_set_socket(server, master);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, 16, 0);
    std::atomic<bool> running{true};
    modbus_t* client = modbus_new_rtu(name, 38400, 'N', 8, 1);
    modbus_set_slave(client, 1);
    if (modbus_connect(client) != 0) {
        state.SkipWithError("libmodbus connect failed");
    } else {
        std::thread serving([&] {
            uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (running) {
                const int n = modbus_receive(server, query);
                if (n > 0) modbus_reply(server, query, n, map);
                else if (n < 0 && !running) break;
            }
        });
        uint16_t regs[2];
        for (auto _ : state)
            if (modbus_read_registers(client, 0, 2, regs) != 2) state.SkipWithError("read failed");
        running = false;
        // The client's end closing wakes the server's wait with an error.
        modbus_close(client);
        serving.join();
    }
    modbus_free(client);
    modbus_mapping_free(map);
    modbus_free(server);
    ::close(master);
}
BENCHMARK(BM_LibmodbusRtuRead2Pty)->UseRealTime();

}  // namespace
