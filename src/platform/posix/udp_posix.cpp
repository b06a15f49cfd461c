#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdio>

#include "platform/platform.h"
#include "platform/socket_address.h"

namespace tvx::platform {

bool initSockets() { return true; }
void shutdownSockets() {}

bool parseIpv4(const char* text, uint32_t* ip) {
    if (!text) return false;
    in_addr a{};
    if (inet_aton(text, &a) == 0) return false;
    *ip = ntohl(a.s_addr);
    return true;
}

void formatIpv4(uint32_t ip, char out[16]) {
    std::snprintf(out, 16, "%u.%u.%u.%u", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu, (ip >> 8) & 0xFFu, ip & 0xFFu);
}

bool UdpSocket::open() {
    close();
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    fd_ = fd;
    interrupted_.store(false);
    segmentingRefused_ = false;
    return true;
}

bool UdpSocket::bind(uint32_t ip, uint16_t port) {
    sockaddr_in a = makeAddress(ip, port);
    return ::bind(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool UdpSocket::setBroadcast(bool on) {
    int v = on ? 1 : 0;
    return setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_BROADCAST, &v, sizeof v) == 0;
}

bool UdpSocket::setReceiveTimeout(uint32_t ms) {
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    return setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool UdpSocket::setReceiveBuffer(int bytes) {
    // The forced variant goes past the system limit where we may do so.
    if (setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return true;
    return setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

uint16_t UdpSocket::localPort() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

int UdpSocket::sendTo(uint32_t ip, uint16_t port, const uint8_t* data, size_t n) {
    if (fd_ == kNone) return -1;
    sockaddr_in a = makeAddress(ip, port);
    ssize_t r = ::sendto(static_cast<int>(fd_), data, n, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return r < 0 ? -1 : static_cast<int>(r);
}

namespace {

// Datagrams one batched system call handles at most (and the segments one
// segmented send may carry).
inline constexpr int kMostPerCall = 64;
inline constexpr size_t kMostSegmentedBytes = 65000;

// Sends datagrams of one length (the last may be shorter) as one send the
// kernel cuts into those datagrams (UDP segmentation offload): the network
// stack is passed once for the lot. True when they all went out; false,
// with nothing sent, when they do not qualify or the system refused.
bool sendSegmented(int fd, sockaddr_in& to, const uint8_t* data, size_t stride, const uint32_t* lengths, int count,
                   bool* refused) {
    if (count < 2 || count > kMostPerCall) return false;
    const uint32_t size = lengths[0];
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        if ((i + 1 < count && lengths[i] != size) || lengths[i] > size || lengths[i] == 0) return false;
        total += lengths[i];
    }
    if (total > kMostSegmentedBytes || size > UINT16_MAX) return false;
    iovec parts[kMostPerCall];
    for (int i = 0; i < count; ++i) parts[i] = {const_cast<uint8_t*>(data + static_cast<size_t>(i) * stride), lengths[i]};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint16_t))] = {};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<size_t>(count);
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = SOL_UDP;
    c->cmsg_type = UDP_SEGMENT;
    c->cmsg_len = CMSG_LEN(sizeof(uint16_t));
    const uint16_t segment = static_cast<uint16_t>(size);
    std::memcpy(CMSG_DATA(c), &segment, sizeof segment);
    ssize_t r;
    do {
        r = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    } while (r < 0 && errno == EINTR);
    if (r == static_cast<ssize_t>(total)) return true;
    // A kernel or route without segmentation: not asked again.
    if (r < 0 && (errno == EINVAL || errno == EIO || errno == ENOPROTOOPT || errno == EOPNOTSUPP)) *refused = true;
    return false;
}

}  // namespace

int UdpSocket::sendBatch(uint32_t ip, uint16_t port, const uint8_t* data, size_t stride, const uint32_t* lengths,
                         int count) {
    if (fd_ == kNone) return -1;
    sockaddr_in a = makeAddress(ip, port);
    if (!segmentingRefused_ &&
        sendSegmented(static_cast<int>(fd_), a, data, stride, lengths, count, &segmentingRefused_))
        return count;
    int done = 0;
    while (done < count) {
        const int n = count - done < kMostPerCall ? count - done : kMostPerCall;
        mmsghdr messages[kMostPerCall];
        iovec parts[kMostPerCall];
        for (int i = 0; i < n; ++i) {
            parts[i] = {const_cast<uint8_t*>(data + static_cast<size_t>(done + i) * stride), lengths[done + i]};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &a;
            messages[i].msg_hdr.msg_namelen = sizeof a;
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        int r;
        do {
            r = ::sendmmsg(static_cast<int>(fd_), messages, static_cast<unsigned>(n), MSG_NOSIGNAL);
        } while (r < 0 && errno == EINTR);
        if (r <= 0) break;
        done += r;
    }
    return done;
}

int UdpSocket::receiveFrom(uint8_t* buffer, size_t capacity, uint32_t* fromIp, uint16_t* fromPort) {
    if (fd_ == kNone) return -1;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ssize_t r;
    do {
        r = ::recvfrom(static_cast<int>(fd_), buffer, capacity, 0, reinterpret_cast<sockaddr*>(&a), &len);
    } while (r < 0 && errno == EINTR);
    // After interrupt() the shutdown socket reports empty reads: not data.
    if (r < 0 || interrupted_.load(std::memory_order_acquire)) return -1;
    if (fromIp) *fromIp = ntohl(a.sin_addr.s_addr);
    if (fromPort) *fromPort = ntohs(a.sin_port);
    return static_cast<int>(r);
}

namespace {

// Takes up to `count` datagrams in one call; `flags` says whether the call
// may block for the first one.
int takeBatch(int fd, uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count, int flags) {
    count = count < kMostPerCall ? count : kMostPerCall;
    mmsghdr messages[kMostPerCall];
    iovec parts[kMostPerCall];
    sockaddr_in sources[kMostPerCall];
    for (int i = 0; i < count; ++i) {
        parts[i] = {buffer + static_cast<size_t>(i) * slotBytes, slotBytes};
        messages[i] = {};
        sources[i] = {};
        messages[i].msg_hdr.msg_name = &sources[i];
        messages[i].msg_hdr.msg_namelen = sizeof sources[i];
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int r;
    do {
        r = ::recvmmsg(fd, messages, static_cast<unsigned>(count), flags, nullptr);
    } while (r < 0 && errno == EINTR);
    for (int i = 0; i < r; ++i) {
        lengths[i] = messages[i].msg_len;
        fromIps[i] = ntohl(sources[i].sin_addr.s_addr);
    }
    return r;
}

}  // namespace

int UdpSocket::receiveBatch(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count) {
    if (fd_ == kNone || count < 1) return -1;
    const int r = takeBatch(static_cast<int>(fd_), buffer, slotBytes, lengths, fromIps, count, MSG_WAITFORONE);
    // After interrupt() the shutdown socket reports empty reads: not data.
    if (r < 0 || interrupted_.load(std::memory_order_acquire)) return -1;
    return r;
}

int UdpSocket::receiveBatchWithin(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count,
                                  uint32_t ms) {
    if (fd_ == kNone || count < 1) return -1;
    // The wait is a poll, not the socket's receive timeout: that one counts
    // in scheduler ticks and would stretch a 1 ms wait to several and a
    // 30 ms one by a few.
    pollfd p{static_cast<int>(fd_), POLLIN, 0};
    const int timeout = ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
    const int ready = ::poll(&p, 1, timeout);
    if (interrupted_.load(std::memory_order_acquire)) return -1;
    if (ready == 0 || (ready < 0 && errno == EINTR)) return 0;
    if (ready < 0) return -1;
    const int r = takeBatch(static_cast<int>(fd_), buffer, slotBytes, lengths, fromIps, count, MSG_DONTWAIT);
    if (interrupted_.load(std::memory_order_acquire)) return -1;
    if (r < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    return r;
}

uint32_t UdpSocket::localAddressToward(uint32_t ip) {
    // Connecting a datagram socket sends nothing; it only picks the route
    // and with it the local address.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in to = makeAddress(ip, 502);
    sockaddr_in self{};
    socklen_t len = sizeof self;
    uint32_t local = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len) == 0)
        local = ntohl(self.sin_addr.s_addr);
    ::close(fd);
    return local;
}

void UdpSocket::interrupt() {
    // Shutting a datagram socket down wakes a receiver blocked on it.
    if (fd_ == kNone) return;
    interrupted_.store(true, std::memory_order_release);
    ::shutdown(static_cast<int>(fd_), SHUT_RDWR);
}

void UdpSocket::close() {
    if (fd_ == kNone) return;
    ::close(static_cast<int>(fd_));
    fd_ = kNone;
}

}  // namespace tvx::platform
