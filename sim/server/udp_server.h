// The socket side of tavrix-sim: one socket on the serving address and,
// for discovery, one on the broadcast address of the same port. Moves
// datagrams between the sockets and a Responder until asked to stop.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "server/responder.h"

namespace tvx::sim {

struct ServerSockets;

class UdpServer {
public:
    UdpServer() = default;
    ~UdpServer();
    UdpServer(const UdpServer&) = delete;
    UdpServer& operator=(const UdpServer&) = delete;

    // Binds ip:port and, when `broadcast`, 255.255.255.255:port shared with
    // other simulators. False with a message when the address is taken or
    // unavailable; a missing broadcast socket is only a warning.
    bool open(uint32_t ip, uint16_t port, bool broadcast, std::string* message, std::string* warning);
    // Serves until `stop` becomes non-zero (a signal handler may set it: the
    // atomic is lock-free); every wait is at most 100 ms.
    void run(Responder& responder, const std::atomic<int>& stop);

private:
    int unicast_ = -1;
    int broadcast_ = -1;
};

}  // namespace tvx::sim
