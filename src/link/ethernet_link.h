// The Ethernet link: channel frames (MBAP framing) as UDP datagrams between
// an ephemeral local port and port 502 of the controller.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "link/handle.h"
#include "link/link_driver.h"
#include "platform/platform.h"

namespace tvx {

inline constexpr uint16_t kControllerPort = 502;
inline constexpr size_t kDatagramCapacity = 4096;
// Pushed packets a transacting thread may read and keep for the receive
// thread to deliver.
inline constexpr int kKeptPushedPackets = 16;

// The link state of an Ethernet handle, owned by the handle's linkState.
struct EthernetLink {
    char address[kAddressCapacity] = {};  // the IPv4 part of the address text
    uint16_t port = 0;                    // the port after ':', informational
    uint32_t target = 0;                  // address parsed once, host byte order
    bool targetValid = false;
    platform::UdpSocket socket;
    platform::Thread receiver;
    platform::Thread keepAlive;
    // Set by teardown so that the keep-alive thread stops at once.
    platform::Event stop;
    std::atomic<uint8_t> running{0};

    // Who reads the socket. The receive thread does, until a transacting
    // thread asks to read its replies itself (wantDirect): the thread then
    // parks and the transactions read the socket without a thread switch.
    // It takes the socket back when the transactions pause, when a caller
    // hands it back, or when pushed packets need delivering on it.
    std::mutex receiveOwner;      // held while a caller reads, and to change the owner
    bool callersReceive = false;  // guarded by receiveOwner
    std::atomic<bool> wantDirect{false};
    std::atomic<uint32_t> sends{0};  // frames sent: the receive thread's sign of activity
    platform::Event handback;        // wakes the parked receive thread
    // Pushed packets a caller read, for the receive thread to deliver in
    // order (guarded by receiveOwner while callers receive).
    uint8_t keptPushed[kKeptPushedPackets][kDatagramCapacity];
    uint32_t keptLengths[kKeptPushedPackets] = {};
    int keptCount = 0;
    // Where a caller's receive puts a burst (guarded by receiveOwner).
    uint8_t directDatagrams[kKeptPushedPackets * kDatagramCapacity];
    std::atomic<uint64_t> foreignDatagrams{0};
};

const LinkDriver& ethernetDriver();

// The Ethernet state of a handle, or null for a handle of another kind.
EthernetLink* ethernetLinkOf(ControllerHandle& h);

// Splits an address "a.b.c.d[:port]" into its parts; 20002 for texts over
// the limits (1023 characters in all, 255 after the colon).
int32_t parseEthernetAddress(const char* address, char* ipOut, size_t ipCapacity, uint16_t* portOut);

// The keep-alive period of every Ethernet handle (5000 ms); tests shorten it.
uint32_t keepAliveIntervalMs();
void setKeepAliveIntervalMs(uint32_t ms);

}  // namespace tvx
