// Datagram sockets over Winsock, using only the calls of Winsock 1.1 except
// for switching off the port-unreachable report (a Winsock 2 ioctl that is
// simply skipped where it is missing).
#include <atomic>
#include <cstdio>

#include "platform/platform.h"
#include "platform/socket_address.h"
#include "platform/win32/win32.h"
#include "platform/win32/winsock_open.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace tvx::platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001u;

bool localAddress(SOCKET s, sockaddr_in* a) {
    int len = sizeof *a;
    return getsockname(s, reinterpret_cast<sockaddr*>(a), &len) == 0;
}

SOCKET openDatagramSocket() { return openWinsockSocket(SOCK_DGRAM, IPPROTO_UDP); }

}  // namespace

bool initSockets() {
    // Asking for 2.2 also succeeds on a stack that offers only 1.1.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    if (LOBYTE(data.wVersion) < 1 || (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) < 1)) {
        WSACleanup();
        return false;
    }
    return true;
}

void shutdownSockets() { WSACleanup(); }

bool parseIpv4(const char* text, uint32_t* ip) {
    if (!text) return false;
    // inet_addr answers INADDR_NONE both for errors and for the valid
    // 255.255.255.255, so that one text is recognised separately.
    unsigned long a = inet_addr(text);
    if (a == INADDR_NONE) {
        unsigned p[4];
        char tail;
        if (std::sscanf(text, "%u.%u.%u.%u%c", &p[0], &p[1], &p[2], &p[3], &tail) != 4) return false;
        if (p[0] != 255 || p[1] != 255 || p[2] != 255 || p[3] != 255) return false;
    }
    *ip = ntohl(a);
    return true;
}

void formatIpv4(uint32_t ip, char out[16]) {
    std::snprintf(out, 16, "%u.%u.%u.%u", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu, (ip >> 8) & 0xFFu, ip & 0xFFu);
}

bool UdpSocket::open() {
    close();
    SOCKET s = openDatagramSocket();
    if (s == INVALID_SOCKET) return false;
    // Without this, an ICMP port-unreachable (a controller rebooting) makes
    // the next receive fail with WSAECONNRESET, as Linux never does.
    BOOL report = FALSE;
    DWORD unused = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &unused, nullptr, nullptr);
    fd_ = static_cast<intptr_t>(s);
    interrupted_.store(false);
    return true;
}

bool UdpSocket::bind(uint32_t ip, uint16_t port) {
    if (fd_ == kNone) return false;
    sockaddr_in a = makeAddress(ip, port);
    return ::bind(asSocket(fd_), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool UdpSocket::setBroadcast(bool on) {
    if (fd_ == kNone) return false;
    BOOL v = on ? TRUE : FALSE;
    return setsockopt(asSocket(fd_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

bool UdpSocket::setReceiveTimeout(uint32_t ms) {
    if (fd_ == kNone) return false;
    DWORD v = ms;
    return setsockopt(asSocket(fd_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

bool UdpSocket::setReceiveBuffer(int bytes) {
    if (fd_ == kNone) return false;
    return setsockopt(asSocket(fd_), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0;
}

uint16_t UdpSocket::localPort() const {
    sockaddr_in a{};
    if (fd_ == kNone || !localAddress(asSocket(fd_), &a)) return 0;
    return ntohs(a.sin_port);
}

int UdpSocket::sendTo(uint32_t ip, uint16_t port, const uint8_t* data, size_t n) {
    if (fd_ == kNone || n > INT32_MAX) return -1;
    sockaddr_in a = makeAddress(ip, port);
    int r = ::sendto(asSocket(fd_), reinterpret_cast<const char*>(data), static_cast<int>(n), 0,
                     reinterpret_cast<sockaddr*>(&a), sizeof a);
    return r == SOCKET_ERROR ? -1 : r;
}

int UdpSocket::sendBatch(uint32_t ip, uint16_t port, const uint8_t* data, size_t stride, const uint32_t* lengths,
                         int count) {
    // Windows sockets have no batch send: one datagram a call.
    int done = 0;
    while (done < count &&
           sendTo(ip, port, data + static_cast<size_t>(done) * stride, lengths[done]) == static_cast<int>(lengths[done]))
        ++done;
    return done;
}

int UdpSocket::receiveFrom(uint8_t* buffer, size_t capacity, uint32_t* fromIp, uint16_t* fromPort) {
    if (fd_ == kNone) return -1;
    const int room = capacity > INT32_MAX ? INT32_MAX : static_cast<int>(capacity);
    sockaddr_in a{};
    int len = sizeof a;
    int r = ::recvfrom(asSocket(fd_), reinterpret_cast<char*>(buffer), room, 0, reinterpret_cast<sockaddr*>(&a), &len);
    if (r == SOCKET_ERROR) {
        // A longer datagram fills the buffer and reports WSAEMSGSIZE; it is
        // delivered cut, as on Linux.
        if (WSAGetLastError() != WSAEMSGSIZE) return -1;
        r = room;
    }
    // The empty datagram interrupt() sends to this socket itself is a wake-up,
    // not data.
    if (r == 0) {
        sockaddr_in self{};
        if (localAddress(asSocket(fd_), &self) && a.sin_port == self.sin_port &&
            (a.sin_addr.s_addr == self.sin_addr.s_addr || a.sin_addr.s_addr == htonl(kLoopback)))
            return -1;
    }
    if (fromIp) *fromIp = ntohl(a.sin_addr.s_addr);
    if (fromPort) *fromPort = ntohs(a.sin_port);
    return r;
}

int UdpSocket::receiveBatch(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count) {
    // Windows sockets have no batch receive: one datagram a call.
    if (count < 1) return -1;
    const int r = receiveFrom(buffer, slotBytes, &fromIps[0], nullptr);
    if (r < 0) return -1;
    lengths[0] = static_cast<uint32_t>(r);
    return 1;
}

namespace {

// Waits up to `ms` for the socket to become readable; 1 readable, 0 not in
// time, -1 error.
int awaitReadable(SOCKET s, uint32_t ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    const int r = ::select(0, &readable, nullptr, nullptr, &limit);
    return r == SOCKET_ERROR ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace

int UdpSocket::receiveBatchWithin(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count,
                                  uint32_t ms) {
    if (fd_ == kNone || count < 1) return -1;
    const SOCKET s = asSocket(fd_);
    const int ready = awaitReadable(s, ms);
    if (interrupted_.load(std::memory_order_acquire)) return -1;
    if (ready <= 0) return ready;
    // Readable: the first receive does not block; further datagrams are
    // taken only while more are queued.
    int taken = 0;
    while (taken < count) {
        uint8_t* slot = buffer + static_cast<size_t>(taken) * slotBytes;
        const int r = receiveFrom(slot, slotBytes, &fromIps[taken], nullptr);
        if (interrupted_.load(std::memory_order_acquire)) return -1;
        // A failed receive (such as the report of an unreachable port) is
        // not data; what was taken so far is.
        if (r < 0) break;
        lengths[taken++] = static_cast<uint32_t>(r);
        if (awaitReadable(s, 0) <= 0) break;
    }
    return taken;
}

uint32_t UdpSocket::localAddressToward(uint32_t ip) {
    // Connecting a datagram socket sends nothing; it only picks the route
    // and with it the local address.
    SOCKET s = openDatagramSocket();
    if (s == INVALID_SOCKET) return 0;
    sockaddr_in to = makeAddress(ip, 502);
    sockaddr_in self{};
    uint32_t local = 0;
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 && localAddress(s, &self))
        local = ntohl(self.sin_addr.s_addr);
    closesocket(s);
    return local;
}

void UdpSocket::interrupt() {
    if (fd_ == kNone) return;
    SOCKET s = asSocket(fd_);
    interrupted_.store(true, std::memory_order_release);
    // Later receives fail at once; a receive already blocked is not woken by
    // the shutdown, so an empty datagram to ourselves completes it.
    shutdown(s, SD_RECEIVE);
    sockaddr_in self{};
    if (!localAddress(s, &self) || self.sin_port == 0) return;
    if (self.sin_addr.s_addr == htonl(INADDR_ANY)) self.sin_addr.s_addr = htonl(kLoopback);
    ::sendto(s, "", 0, 0, reinterpret_cast<sockaddr*>(&self), sizeof self);
}

void UdpSocket::close() {
    if (fd_ == kNone) return;
    // closesocket also ends a receive blocked on another thread.
    closesocket(asSocket(fd_));
    fd_ = kNone;
}

}  // namespace tvx::platform
