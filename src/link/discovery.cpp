// Discovery: TVX_SearchEth broadcasts the probe and lists who answers;
// TVX_SearchAndOpenEth probes one address and opens it when it answers.
// Every call has its own socket and state, so concurrent calls never meet.
#include <atomic>
#include <cstring>
#include <new>

#include "base/result_codes.h"
#include "base/trace.h"
#include "link/discovery.h"
#include "link/ethernet_link.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "tavrix.h"

namespace tvx {
namespace {

inline constexpr uint32_t kWorkerStopMs = 100;
inline constexpr size_t kAnswerCapacity = 255;
inline constexpr int kSearchErrors = 5;
inline constexpr int kProbeReceives = 5;
inline constexpr uint32_t kPollMs = 20;
inline constexpr uint32_t kBroadcast = 0xFFFFFFFFu;

const uint8_t* probeBytes() { return reinterpret_cast<const uint8_t*>(kProbeText); }

// Discovery datagrams go to the trace like a link's frames (no handle).
void traceDatagram(const platform::UdpSocket& socket, uint32_t kind, uint32_t remoteIp, uint16_t remotePort,
                   const uint8_t* bytes, size_t n) {
    if (!traceActive()) return;
    TVX_TraceEvent e{};
    e.kind = kind;
    e.linkKind = TVX_LINK_ETHERNET;
    e.bytes = bytes;
    e.length = static_cast<uint32_t>(n);
    e.localIp = platform::UdpSocket::localAddressToward(remoteIp);
    e.remoteIp = remoteIp;
    e.localPort = socket.localPort();
    e.remotePort = remotePort;
    e.port = "discovery";
    emitTrace(e);
}

struct Search {
    platform::UdpSocket socket;
    char* buffer = nullptr;
    uint32_t bufferSize = 0;
};

void searchWorker(void* arg) {
    auto& s = *static_cast<Search*>(arg);
    if (s.bufferSize > 0) s.buffer[0] = 0;
    s.socket.setBroadcast(true);
    s.socket.setReceiveTimeout(1);
    if (s.socket.sendTo(kBroadcast, kControllerPort, probeBytes(), kProbeLength) < 0) return;
    traceDatagram(s.socket, TVX_TRACE_SENT, kBroadcast, kControllerPort, probeBytes(), kProbeLength);
    size_t used = 0;
    uint8_t answer[kAnswerCapacity];
    for (int errors = 0; errors < kSearchErrors;) {
        uint32_t from = 0;
        uint16_t fromPort = 0;
        const int got = s.socket.receiveFrom(answer, sizeof answer, &from, &fromPort);
        if (got < 0) {
            ++errors;
            continue;
        }
        traceDatagram(s.socket, TVX_TRACE_RECEIVED, from, fromPort, answer, static_cast<size_t>(got));
        char text[16];
        platform::formatIpv4(from, text);
        const size_t n = std::strlen(text);
        // Room for the address, its blank and the terminator.
        if (n + used + 1 >= s.bufferSize) return;
        std::memcpy(s.buffer + used, text, n);
        s.buffer[used + n] = ' ';
        s.buffer[used + n + 1] = 0;
        used += n + 1;
    }
}

struct Probe {
    platform::UdpSocket socket;
    uint32_t target = 0;
    bool targetValid = false;
    std::atomic<bool> answered{false};
};

void probeWorker(void* arg) {
    auto& p = *static_cast<Probe*>(arg);
    if (!p.targetValid || p.socket.sendTo(p.target, kControllerPort, probeBytes(), kProbeLength) < 0) return;
    traceDatagram(p.socket, TVX_TRACE_SENT, p.target, kControllerPort, probeBytes(), kProbeLength);
    uint8_t answer[kAnswerCapacity];
    for (int i = 0; i < kProbeReceives; ++i) {
        uint32_t from = 0;
        uint16_t fromPort = 0;
        const int got = p.socket.receiveFrom(answer, sizeof answer, &from, &fromPort);
        if (got >= 0) {
            traceDatagram(p.socket, TVX_TRACE_RECEIVED, from, fromPort, answer, static_cast<size_t>(got));
            p.answered.store(true, std::memory_order_release);
            return;
        }
    }
}

// Opens the worker's socket and starts it on `state`: 0, -1 when no socket
// can be made, 20006 when no thread starts. On failure the state is freed.
template <class State>
int32_t startWorker(platform::Thread& worker, platform::Thread::Entry entry, State* state) {
    int32_t r = rc::ok;
    if (!state->socket.open())
        r = -1;
    else if (!worker.start(entry, state))
        r = rc::osError;
    if (r != rc::ok) delete state;
    return r;
}

// Ends a worker: interrupting the socket wakes its receive. The state the
// worker shares is freed only when the worker has surely ended.
template <class State>
void finishWorker(platform::Thread& worker, State* state) {
    state->socket.interrupt();
    if (platform::stopThread(worker, kWorkerStopMs)) delete state;
}

}  // namespace
}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_SearchEth(char* buffer, uint32_t bufferSize, uint32_t timeMs) {
    if (!buffer) return rc::discoveryArgument;
    auto* s = new (std::nothrow) Search;
    if (!s) return rc::osError;
    s->buffer = buffer;
    s->bufferSize = bufferSize;
    platform::Thread worker;
    if (const int32_t r = startWorker(worker, searchWorker, s); r != rc::ok) return r;
    sleepMs(timeMs);
    finishWorker(worker, s);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_SearchAndOpenEth(const char* ip, uint32_t timeMs, TVX_HANDLE* out) {
    if (!ip) return rc::discoveryArgument;
    auto* p = new (std::nothrow) Probe;
    if (!p) return rc::osError;
    // The probe goes to the text before any ":" port suffix.
    char host[16] = {};
    size_t n = 0;
    while (ip[n] && ip[n] != ':' && n < sizeof host) ++n;
    if (n < sizeof host) {
        std::memcpy(host, ip, n);
        p->targetValid = platform::parseIpv4(host, &p->target);
    }
    platform::Thread worker;
    if (const int32_t r = startWorker(worker, probeWorker, p); r != rc::ok) return r;
    sleepMs(1);
    for (uint32_t polls = timeMs / kPollMs; polls > 0 && !p->answered.load(std::memory_order_acquire); --polls)
        sleepMs(kPollMs);
    // Decided before the socket closes: nothing the close wakes can count.
    const bool answered = p->answered.load(std::memory_order_acquire);
    finishWorker(worker, p);
    if (!answered) return rc::ethernetError;
    return TVX_Open(TVX_LINK_ETHERNET, ip, out);
}

TVX_API int32_t TVX_STDCALL TVX_OpenEth(const char* ip, TVX_HANDLE* out) { return TVX_SearchAndOpenEth(ip, 100, out); }

TVX_API int32_t TVX_STDCALL TVX_OpenEth2(uint32_t ip, TVX_HANDLE* out) {
    // The address comes in network byte order: its first byte in memory is
    // the first number of the dotted text.
    const auto* b = reinterpret_cast<const uint8_t*>(&ip);
    char text[16];
    platform::formatIpv4((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3], text);
    return TVX_OpenEth(text, out);
}

}  // extern "C"
