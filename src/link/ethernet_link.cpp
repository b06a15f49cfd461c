#include "base/debug_output.h"
#include "link/ethernet_link.h"

#include <atomic>
#include <cstring>
#include <new>

#include "base/address_number.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/request_codes.h"
#include "link/handle.h"
#include "link/locked_transact.h"

namespace tvx {
namespace {

inline constexpr size_t kMaxAddressLength = 1023;
inline constexpr size_t kMaxPortTextLength = 255;
inline constexpr size_t kDatagramCapacity = 4096;
inline constexpr int kBurst = 16;  // datagrams one receive call takes at most
inline constexpr uint32_t kThreadStopMs = 100;
inline constexpr int kSendCalls = 10;
// Room for a window of 100 blocks of 992 bytes and their bookkeeping.
inline constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

std::atomic<uint32_t> keepAliveMs{5000};

// Counts dropped datagrams in the debug output: the first few, then at
// every power of two, so a flood does not flood the output too.
void noteForeignDatagram(const EthernetLink& link, uint32_t source, uint64_t count) {
    if (count > 4 && (count & (count - 1)) != 0) return;
    char text[16];
    platform::formatIpv4(source, text);
    debugPrint("ethernet %s: dropped a datagram from %s (%llu from other addresses so far)", link.address, text,
               static_cast<unsigned long long>(count));
}

void datagramThreadMain(void* arg) {
    auto& h = *static_cast<ControllerHandle*>(arg);
    EthernetLink& link = *static_cast<EthernetLink*>(h.linkState);
    CommandChannel& ch = h.channel;
    // The answers to a window of blocks come in a burst: one call takes it.
    uint8_t datagrams[kBurst * kDatagramCapacity];
    uint32_t lengths[kBurst];
    uint32_t sources[kBurst];
    uint64_t foreign = 0;
    while (link.running.load(std::memory_order_acquire)) {
        // Errors such as a port-unreachable report from a rebooting
        // controller are transient: keep receiving.
        const int count = link.socket.receiveBatch(datagrams, kDatagramCapacity, lengths, sources, kBurst);
        if (!link.running.load(std::memory_order_acquire)) break;
        for (int i = 0; i < count; ++i) {
            if (lengths[i] == 0) continue;
            // Replies and pushed packets come from the controller's address
            // only (from any of its ports): anything else is dropped, so no
            // other host can answer for it or push data as if it were it.
            if (sources[i] != link.target) {
                ++foreign;
                noteForeignDatagram(link, sources[i], foreign);
                continue;
            }
            restartAssembly(ch);
            feedBytes(ch, datagrams + static_cast<size_t>(i) * kDatagramCapacity, lengths[i]);
        }
    }
    if (ch.waiting.load()) wakeReplyWaiter(ch);
}

void keepAliveThreadMain(void* arg) {
    auto& h = *static_cast<ControllerHandle*>(arg);
    EthernetLink& link = *static_cast<EthernetLink*>(h.linkState);
    while (link.running.load(std::memory_order_acquire)) {
        if (link.stop.waitFor(keepAliveMs.load(std::memory_order_relaxed))) break;
        if (!link.running.load(std::memory_order_acquire)) break;
        PacketArea area(req::keepAlive, 0);
        lockedSendOnly(h, area, &link.running);  // a closed handle gives 20009: ignored
    }
}

void stopThreads(ControllerHandle& h, EthernetLink& link) {
    link.running.store(0, std::memory_order_release);
    link.stop.set();
    link.socket.interrupt();
    const bool receiverEnded = platform::stopThread(link.receiver, kThreadStopMs);
    const bool keepAliveEnded = platform::stopThread(link.keepAlive, kThreadStopMs);
    if (!receiverEnded || !keepAliveEnded) h.threadsOutstanding.store(true);
}

int32_t prepareEthernet(ControllerHandle& h, const char* address) {
    auto* link = new (std::nothrow) EthernetLink;
    if (!link) return rc::osError;
    int32_t r = parseEthernetAddress(address, link->address, sizeof link->address, &link->port);
    if (r == rc::ok && !link->stop.create(true)) r = rc::osError;
    if (r != rc::ok) {
        delete link;
        return r;
    }
    link->targetValid = platform::parseIpv4(link->address, &link->target);
    h.linkState = link;
    h.channel.attempts = 20;
    h.channel.baseWaitMs = 30;
    return rc::ok;
}

int32_t connectEthernet(ControllerHandle& h) {
    EthernetLink* link = ethernetLinkOf(h);
    if (!link) return refuse(rc::badArgument, "link is NULL");
    if (link->socket.valid() || link->running.load()) {
        stopThreads(h, *link);
        link->socket.close();
    }
    if (h.threadsOutstanding.load()) return rc::osError;
    if (!link->socket.open()) return rc::osError;
    if (!link->socket.bind(0, 0)) {
        link->socket.close();
        return rc::ethernetError;
    }
    link->socket.setReceiveBuffer(kReceiveBufferBytes);
    TraceTag& tag = h.channel.trace;
    tag.remoteIp = link->targetValid ? link->target : 0;
    // The capture shows the address the datagrams really leave from.
    tag.localIp = link->targetValid ? platform::UdpSocket::localAddressToward(link->target) : 0;
    tag.remotePort = kControllerPort;
    tag.localPort = link->socket.localPort();
    link->stop.reset();
    link->running.store(1, std::memory_order_release);
    if (!link->receiver.start(datagramThreadMain, &h) || !link->keepAlive.start(keepAliveThreadMain, &h)) {
        stopThreads(h, *link);
        link->socket.close();
        return rc::osError;
    }
    return rc::ok;
}

void teardownEthernet(ControllerHandle& h) {
    EthernetLink* link = ethernetLinkOf(h);
    if (!link) return;
    stopThreads(h, *link);
    link->socket.close();
    h.linkState = nullptr;
    // A thread that could not be stopped may still use the link: it is left
    // allocated for good.
    if (!h.threadsOutstanding.load()) delete link;
}

int32_t sendDatagram(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    EthernetLink* link = ethernetLinkOf(ownerOf(ch));
    if (!link || !link->socket.valid()) return rc::notOpen;
    if (!link->targetValid) return rc::linkWrite;
    uint32_t sent = 0;
    for (int call = 0; call < kSendCalls && sent < n; ++call) {
        int r = link->socket.sendTo(link->target, kControllerPort, bytes + sent, n - sent);
        if (r < 0) return rc::linkWrite;
        sent += static_cast<uint32_t>(r);
    }
    return rc::ok;
}

const LinkDriver kEthernetDriver = {
    {sendDatagram, nullptr, handleUnsolicited},
    TVX_LINK_ETHERNET,
    Framing::tcp,
    kFastLinkLimits,
    prepareEthernet,
    connectEthernet,
    nullptr,
    nullptr,
    teardownEthernet,
};

}  // namespace

const LinkDriver& ethernetDriver() { return kEthernetDriver; }

EthernetLink* ethernetLinkOf(ControllerHandle& h) {
    return h.driver == &kEthernetDriver ? static_cast<EthernetLink*>(h.linkState) : nullptr;
}

int32_t parseEthernetAddress(const char* address, char* ipOut, size_t ipCapacity, uint16_t* portOut) {
    const size_t total = strnlen(address, kMaxAddressLength + 1);
    if (total > kMaxAddressLength) return refuse(rc::badArgument, "address is longer than its limit");
    const char* colon = std::strchr(address, ':');
    const size_t ipLength = colon ? static_cast<size_t>(colon - address) : total;
    if (colon && std::strlen(colon + 1) > kMaxPortTextLength)
        return refuse(rc::badArgument, "the port after ':' is too long");
    if (ipLength >= ipCapacity) return refuse(rc::badArgument, "the IPv4 part of the address is too long");
    std::memcpy(ipOut, address, ipLength);
    ipOut[ipLength] = 0;
    // The port is informational: it is kept modulo 2^16.
    *portOut = (colon && colon[1] != 0) ? readAddressNumber(colon + 1, NumberBlanks::spaceAndTab).modulo16() : kControllerPort;
    return rc::ok;
}

uint32_t keepAliveIntervalMs() { return keepAliveMs.load(std::memory_order_relaxed); }
void setKeepAliveIntervalMs(uint32_t ms) { keepAliveMs.store(ms, std::memory_order_relaxed); }

}  // namespace tvx
