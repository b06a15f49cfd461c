#include "frame/trace_capture.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/trace.h"
#include "platform/capture_output.h"

namespace tvx {
namespace {

inline constexpr size_t kMaxPorts = 64;
inline constexpr size_t kPortNameBytes = 64;
inline constexpr size_t kIpv4Header = 20;
inline constexpr size_t kUdpHeader = 8;
inline constexpr size_t kMaxRecord = 4096;
inline constexpr uint8_t kUdpProtocol = 17;
// The longest a record waits for a reader (a pipe) that takes nothing;
// past it the capture stops rather than hold the link's threads.
inline constexpr uint32_t kWriteLimitMs = 1000;
inline constexpr size_t kPathCapacity = 4096;

struct Capture {
    std::mutex lock;
    platform::CaptureOutput file;
    bool ipInterface = false;  // interface 0 announced
    uint32_t ipInterfaceId = 0;
    uint32_t interfaces = 0;
    char ports[kMaxPorts][kPortNameBytes] = {};
    uint32_t portInterface[kMaxPorts] = {};
    size_t portCount = 0;
    // Wall time at the start, to turn monotonic stamps into dates.
    uint64_t wallStartNs = 0;
    uint64_t monoStartNs = 0;
};

// A static object: nothing is left on the heap after unload.
Capture g_capture;

Capture& capture() { return g_capture; }

// A block under construction: fields appended little-endian, options
// padded to 32 bits, the total length written at both ends.
class Block {
public:
    explicit Block(uint32_t type) {
        put32(type);
        put32(0);  // total length, set by finish()
    }
    void put16(uint16_t v) {
        putU16(bytes_ + n_, v);
        n_ += 2;
    }
    void put32(uint32_t v) {
        putU32(bytes_ + n_, v);
        n_ += 4;
    }
    void raw(const void* p, size_t len) {
        if (len) std::memcpy(bytes_ + n_, p, len);
        n_ += len;
        pad();
    }
    void option(uint16_t code, const void* p, size_t len) {
        put16(code);
        put16(static_cast<uint16_t>(len));
        raw(p, len);
    }
    void textOption(uint16_t code, const char* text) { option(code, text, strnlen(text, kPortNameBytes + 32)); }
    uint8_t* reserve(size_t len) {
        uint8_t* at = bytes_ + n_;
        n_ += len;
        return at;
    }
    void pad() {
        while (n_ % 4) bytes_[n_++] = 0;
    }
    bool fits(size_t more) const { return n_ + more + 64 <= sizeof bytes_; }
    // Closes the block and writes it; false when the capture had to stop.
    bool write(Capture& c);

private:
    uint8_t bytes_[kMaxRecord + 256];
    size_t n_ = 0;
};

// Ends the capture after a failed write, with one debug line saying why.
void abandonCapture(Capture& c, platform::OutputWrite why) {
    const char* reason = why == platform::OutputWrite::readerGone ? "the reader closed the pipe"
                         : why == platform::OutputWrite::timedOut ? "the reader took nothing for 1000 ms"
                                                                    : "the file cannot be written";
    c.file.close();
    debugPrint("trace capture stopped: %s", reason);
}

bool Block::write(Capture& c) {
    put32(0);
    putU32(bytes_ + 4, static_cast<uint32_t>(n_));
    putU32(bytes_ + n_ - 4, static_cast<uint32_t>(n_));
    const platform::OutputWrite r = c.file.write(bytes_, n_, kWriteLimitMs);
    if (r == platform::OutputWrite::ok) return true;
    abandonCapture(c, r);
    return false;
}

// A capture this library wrote before: it starts with a section header.
bool isCapture(const uint8_t* head, size_t n) { return n >= 4 && getU32(head) == pcapng::sectionHeader; }

uint32_t announceInterface(Capture& c, uint16_t linkType, const char* name, const char* comment) {
    Block b(pcapng::interfaceDescription);
    b.put16(linkType);
    b.put16(0);
    b.put32(0);  // no snapshot limit
    const uint8_t nanoseconds = 9;
    b.option(pcapng::optionTimestampResolution, &nanoseconds, 1);
    if (name) b.textOption(pcapng::optionInterfaceName, name);
    if (comment) b.textOption(pcapng::optionComment, comment);
    b.option(pcapng::optionEnd, nullptr, 0);
    b.write(c);
    return c.interfaces++;
}

uint32_t ipInterface(Capture& c) {
    if (!c.ipInterface) {
        c.ipInterfaceId = announceInterface(c, pcapng::linkTypeIpv4, "ethernet", "controllers over UDP");
        c.ipInterface = true;
    }
    return c.ipInterfaceId;
}

// The interface of a serial or PCI port, announced on its first frame.
uint32_t portInterface(Capture& c, uint32_t linkKind, const char* port) {
    const char* name = port ? port : "";
    for (size_t i = 0; i < c.portCount; ++i)
        if (std::strncmp(c.ports[i], name, kPortNameBytes - 1) == 0) return c.portInterface[i];
    char comment[kPortNameBytes + 32];
    std::snprintf(comment, sizeof comment, "%s link on port %.*s", linkKind == TVX_LINK_PCI ? "PCI" : "serial",
                  static_cast<int>(kPortNameBytes - 1), name);
    const uint32_t id = announceInterface(c, pcapng::linkTypeUser0, name, comment);
    if (c.portCount < kMaxPorts) {
        std::snprintf(c.ports[c.portCount], kPortNameBytes, "%s", name);
        c.portInterface[c.portCount++] = id;
    }
    return id;
}

// An IPv4 and UDP header around an Ethernet frame, in network order.
void putDatagramHeaders(uint8_t* at, const TVX_TraceEvent& e) {
    const bool sent = e.kind == TVX_TRACE_SENT;
    const uint32_t source = sent ? e.localIp : e.remoteIp;
    const uint32_t destination = sent ? e.remoteIp : e.localIp;
    const uint16_t sourcePort = sent ? e.localPort : e.remotePort;
    const uint16_t destinationPort = sent ? e.remotePort : e.localPort;
    const uint16_t total = static_cast<uint16_t>(kIpv4Header + kUdpHeader + e.length);
    std::memset(at, 0, kIpv4Header + kUdpHeader);
    at[0] = 0x45;  // version 4, five words of header
    putBe16(at + 2, total);
    at[8] = 64;  // time to live
    at[9] = kUdpProtocol;
    putBe32(at + 12, source);
    putBe32(at + 16, destination);
    uint32_t sum = 0;
    for (size_t i = 0; i < kIpv4Header; i += 2) sum += getBe16(at + i);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    putBe16(at + 10, static_cast<uint16_t>(~sum));
    uint8_t* udp = at + kIpv4Header;
    putBe16(udp, sourcePort);
    putBe16(udp + 2, destinationPort);
    putBe16(udp + 4, static_cast<uint16_t>(kUdpHeader + e.length));
    // Checksum 0: none computed, which UDP over IPv4 allows.
}

}  // namespace

bool expandCapturePath(const char* pattern, uint32_t pid, char* out, size_t capacity) {
    size_t n = 0;
    for (const char* p = pattern; *p; ++p) {
        char piece[16] = {};
        if (p[0] == '%' && p[1] == 'p') {
            std::snprintf(piece, sizeof piece, "%u", pid);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            piece[0] = '%';
            ++p;
        } else {
            piece[0] = *p;
        }
        const size_t len = std::strlen(piece);
        if (n + len >= capacity) return false;
        std::memcpy(out + n, piece, len);
        n += len;
    }
    out[n] = 0;
    return true;
}

bool startTraceCapture(const char* pattern) {
    Capture& c = capture();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.file.valid()) return true;
    char path[kPathCapacity];
    if (!expandCapturePath(pattern, platform::processId(), path, sizeof path)) return false;
    bool appended = false;
    if (!c.file.open(path, isCapture, &appended)) return false;
    c.ipInterface = false;
    c.interfaces = 0;
    c.portCount = 0;
    c.wallStartNs = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    c.monoStartNs = platform::monotonicNanos();
    // Every run starts a section of its own (interfaces are numbered per
    // section), so a run appended to an earlier capture keeps both.
    char comment[64];
    std::snprintf(comment, sizeof comment, "tavrix protocol trace, process %u", platform::processId());
    Block b(pcapng::sectionHeader);
    b.put32(pcapng::byteOrderMagic);
    b.put16(1);
    b.put16(0);
    b.put32(0xFFFFFFFF);  // section length unknown
    b.put32(0xFFFFFFFF);
    b.textOption(pcapng::optionComment, comment);
    b.option(pcapng::optionEnd, nullptr, 0);
    return b.write(c);
}

void stopTraceCapture() {
    Capture& c = capture();
    std::lock_guard<std::mutex> guard(c.lock);
    c.file.close();
}

bool traceCaptureActive() {
    Capture& c = capture();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.file.valid();
}

void writeTraceCapture(const TVX_TraceEvent& e) {
    if (e.kind == TVX_TRACE_DEBUG || e.length > kMaxRecord - kIpv4Header - kUdpHeader) return;
    Capture& c = capture();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.file.valid()) return;
    const bool ethernet = e.linkKind == TVX_LINK_ETHERNET;
    const uint32_t interface = ethernet ? ipInterface(c) : portInterface(c, e.linkKind, e.port);
    if (!c.file.valid()) return;  // the interface's block could not be written
    const uint32_t captured = static_cast<uint32_t>(e.length + (ethernet ? kIpv4Header + kUdpHeader : 0));
    const uint64_t stamp = c.wallStartNs + (e.timestampNs - c.monoStartNs);
    Block b(pcapng::enhancedPacket);
    b.put32(interface);
    b.put32(static_cast<uint32_t>(stamp >> 32));
    b.put32(static_cast<uint32_t>(stamp));
    b.put32(captured);
    b.put32(captured);
    if (ethernet) putDatagramHeaders(b.reserve(kIpv4Header + kUdpHeader), e);
    std::memcpy(b.reserve(e.length), e.bytes, e.length);
    b.pad();
    uint8_t flags[4];
    putU32(flags, e.kind == TVX_TRACE_SENT ? pcapng::flagOutbound : pcapng::flagInbound);
    b.option(pcapng::optionPacketFlags, flags, sizeof flags);
    b.option(pcapng::optionEnd, nullptr, 0);
    b.write(c);
}

}  // namespace tvx
