#include "base/debug_output.h"
#include "link/ethernet_link.h"

#include <algorithm>
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
#include "platform/clock.h"

namespace tvx {
namespace {

inline constexpr size_t kMaxAddressLength = 1023;
inline constexpr size_t kMaxPortTextLength = 255;
inline constexpr int kBurst = 16;  // datagrams one receive call takes at most
static_assert(kBurst <= kKeptPushedPackets, "a caller's burst fits the link's direct buffer");
inline constexpr uint32_t kThreadStopMs = 100;
// Room for a window of 100 blocks of 992 bytes and their bookkeeping.
inline constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// Callers keep the socket while they transact; once no frame was sent for
// this long, the receive thread takes it back (pushed packets that came
// meanwhile wait in the socket until then).
inline constexpr uint32_t kHandbackIdleMs = 10;

std::atomic<uint32_t> keepAliveMs{5000};

// Counts dropped datagrams in the debug output: the first few, then at
// every power of two, so a flood does not flood the output too.
void noteForeignDatagram(EthernetLink& link, uint32_t source) {
    const uint64_t count = link.foreignDatagrams.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count > 4 && (count & (count - 1)) != 0) return;
    char text[16];
    platform::formatIpv4(source, text);
    debugPrint("ethernet %s: dropped a datagram from %s (%llu from other addresses so far)", link.address, text,
               static_cast<unsigned long long>(count));
}

// Replies and pushed packets come from the controller's address only (from
// any of its ports): anything else is dropped, so no other host can answer
// for it or push data as if it were it. Empty datagrams are wake-ups.
bool fromController(EthernetLink& link, uint32_t length, uint32_t source) {
    if (length == 0) return false;
    if (source == link.target) return true;
    noteForeignDatagram(link, source);
    return false;
}

void feedDatagram(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    restartAssembly(ch);
    feedBytes(ch, bytes, n);
}

// What is left of a wait of `ms` begun at `start` (tickMs).
uint32_t leftOf(uint32_t start, uint32_t ms) {
    const uint32_t waited = ticksSince(start);
    return waited >= ms ? 0 : ms - waited;
}

// Gives the socket back to the receive thread (receiveOwner held).
void handBack(EthernetLink& link) {
    link.callersReceive = false;
    link.handback.set();
}

// Parks the receive thread while callers read the socket; returns once the
// thread owns it again (with the pushed packets callers kept delivered) or
// the link stops.
void parkWhileCallersReceive(ControllerHandle& h, EthernetLink& link) {
    CommandChannel& ch = h.channel;
    {
        std::lock_guard<std::mutex> lock(link.receiveOwner);
        link.callersReceive = true;
        link.wantDirect.store(false, std::memory_order_relaxed);
    }
    // A caller already waiting for its reply goes on to read it itself.
    if (ch.waiting.load()) wakeReplyWaiter(ch);
    uint32_t seen = link.sends.load(std::memory_order_relaxed);
    int kept = 0;
    for (;;) {
        link.handback.waitFor(kHandbackIdleMs);
        if (!link.running.load(std::memory_order_acquire)) return;
        std::lock_guard<std::mutex> lock(link.receiveOwner);
        const uint32_t now = link.sends.load(std::memory_order_relaxed);
        if (link.callersReceive && now != seen) {
            seen = now;
            continue;
        }
        link.callersReceive = false;
        kept = link.keptCount;
        link.keptCount = 0;
        break;
    }
    // Callers no longer touch the kept packets: they receive no more.
    for (int i = 0; i < kept; ++i) feedDatagram(ch, link.keptPushed[i], link.keptLengths[i]);
}

void datagramThreadMain(void* arg) {
    auto& h = *static_cast<ControllerHandle*>(arg);
    EthernetLink& link = *static_cast<EthernetLink*>(h.linkState.load());
    CommandChannel& ch = h.channel;
    // The answers to a window of blocks come in a burst: one call takes it.
    uint8_t datagrams[kBurst * kDatagramCapacity];
    uint32_t lengths[kBurst];
    uint32_t sources[kBurst];
    while (link.running.load(std::memory_order_acquire)) {
        if (link.wantDirect.load(std::memory_order_relaxed)) {
            parkWhileCallersReceive(h, link);
            continue;
        }
        // Errors such as a port-unreachable report from a rebooting
        // controller are transient: keep receiving.
        const int count = link.socket.receiveBatch(datagrams, kDatagramCapacity, lengths, sources, kBurst);
        if (!link.running.load(std::memory_order_acquire)) break;
        for (int i = 0; i < count; ++i)
            if (fromController(link, lengths[i], sources[i]))
                feedDatagram(ch, datagrams + static_cast<size_t>(i) * kDatagramCapacity, lengths[i]);
    }
    if (ch.waiting.load()) wakeReplyWaiter(ch);
}

// Reads the socket on the calling thread (receiveOwner held) until the reply
// is accepted or the wait of `ms` begun at `start` is over: true. False when
// pushed packets came, which the receive thread delivers: the socket is then
// handed back to it.
bool receiveDirect(CommandChannel& ch, EthernetLink& link, uint32_t start, uint32_t ms, uint32_t left) {
    uint32_t lengths[kBurst];
    uint32_t sources[kBurst];
    // The first receive gets what was left on entry; the clock is read again
    // only when something other than the reply came.
    for (;; left = leftOf(start, ms)) {
        // Never take more pushed packets than there is room to keep.
        const int room = std::min(kBurst, kKeptPushedPackets - link.keptCount);
        const int count =
            link.socket.receiveBatchWithin(link.directDatagrams, kDatagramCapacity, lengths, sources, room, left);
        if (count < 0 && link.socket.interrupted()) return true;  // the link is going down
        for (int i = 0; i < count; ++i) {
            if (!fromController(link, lengths[i], sources[i])) continue;
            const uint8_t* bytes = link.directDatagrams + static_cast<size_t>(i) * kDatagramCapacity;
            if (carriesPushedPacket(ch, bytes, lengths[i])) {
                std::memcpy(link.keptPushed[link.keptCount], bytes, lengths[i]);
                link.keptLengths[link.keptCount++] = lengths[i];
                continue;
            }
            feedDatagram(ch, bytes, lengths[i]);
        }
        const bool answered = ch.replyReady.load(std::memory_order_acquire) != 0;
        if (link.keptCount > 0) {
            handBack(link);
            return answered;
        }
        if (answered || left == 0) return true;
    }
}

// The wait for a reply. A caller whose handle has no auto-upload callback
// reads the socket itself once the receive thread has handed it over, so a
// transaction costs no thread switch; the first one after a pause asks for
// the socket and is answered through the receive thread. Pushed text for a
// callback is delivered on the receive thread only, and waits on a test
// clock wait on it, so both keep the receive thread's path.
int32_t waitDatagram(CommandChannel& ch, uint32_t ms) {
    ControllerHandle& h = ownerOf(ch);
    LinkUse use(h);
    auto* link = static_cast<EthernetLink*>(use.state());
    if (!link) return rc::notOpen;
    bool direct = systemClockActive() && !h.autoUpCallback.load(std::memory_order_relaxed);
    const uint32_t start = tickMs();
    for (uint32_t left = ms;; left = leftOf(start, ms)) {
        {
            std::lock_guard<std::mutex> lock(link->receiveOwner);
            // The receive thread may have taken the reply just before it
            // handed the socket over.
            if (ch.replyReady.load(std::memory_order_acquire)) return rc::ok;
            if (direct && link->callersReceive) {
                if (receiveDirect(ch, *link, start, ms, left)) return rc::ok;
                direct = false;  // the receive thread has the socket again
                continue;
            }
            if (direct)
                link->wantDirect.store(true, std::memory_order_relaxed);
            else if (link->callersReceive)
                handBack(*link);
        }
        if (left == 0) return rc::ok;
        awaitReplyEvent(ch, left);
        if (ch.replyReady.load(std::memory_order_acquire)) return rc::ok;
    }
}

void keepAliveThreadMain(void* arg) {
    auto& h = *static_cast<ControllerHandle*>(arg);
    EthernetLink& link = *static_cast<EthernetLink*>(h.linkState.load());
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
    link.handback.set();
    link.socket.interrupt();
    const bool receiverEnded = platform::stopThread(link.receiver, kThreadStopMs);
    const bool keepAliveEnded = platform::stopThread(link.keepAlive, kThreadStopMs);
    if (!receiverEnded || !keepAliveEnded) h.threadsOutstanding.store(true);
}

// Back to the receive thread owning the socket, nothing kept (for a new
// connection).
void resetOwner(EthernetLink& link) {
    std::lock_guard<std::mutex> lock(link.receiveOwner);
    link.callersReceive = false;
    link.wantDirect.store(false);
    link.keptCount = 0;
    link.handback.reset();
}

int32_t prepareEthernet(ControllerHandle& h, const char* address) {
    auto* link = new (std::nothrow) EthernetLink;
    if (!link) return rc::osError;
    int32_t r = parseEthernetAddress(address, link->address, sizeof link->address, &link->port);
    if (r == rc::ok && (!link->stop.create(true) || !link->handback.create(false))) r = rc::osError;
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
    resetOwner(*link);
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
    // A transaction reading its reply itself was woken by the interrupt:
    // the state is freed once it has left.
    if (!retireLinkState(h, kThreadStopMs)) h.threadsOutstanding.store(true);
    // A thread that could not be stopped may still use the link: it is left
    // allocated and its socket open for good.
    if (h.threadsOutstanding.load()) return;
    link->socket.close();
    delete link;
}

int32_t sendDatagrams(CommandChannel& ch, const uint8_t* frames, uint32_t stride, const uint32_t* lengths, int count) {
    LinkUse use(ownerOf(ch));
    auto* link = static_cast<EthernetLink*>(use.state());
    if (!link || !link->socket.valid()) return rc::notOpen;
    if (!link->targetValid) return rc::linkWrite;
    link->sends.fetch_add(static_cast<uint32_t>(count), std::memory_order_relaxed);
    const int sent = link->socket.sendBatch(link->target, kControllerPort, frames, stride, lengths, count);
    return sent == count ? rc::ok : rc::linkWrite;
}

// One frame is a batch of one: a datagram goes out whole or not at all.
int32_t sendDatagram(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    return sendDatagrams(ch, bytes, n, &n, 1);
}

const LinkDriver kEthernetDriver = {
    {sendDatagram, waitDatagram, handleUnsolicited, sendDatagrams},
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
    return h.driver == &kEthernetDriver ? static_cast<EthernetLink*>(h.linkState.load()) : nullptr;
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
