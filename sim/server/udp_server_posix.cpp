#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/platform.h"
#include "server/udp_server.h"

namespace tvx::sim {
namespace {

constexpr uint32_t kMaxWaitMs = 100;
constexpr size_t kLargestDatagram = 65536;

int bindSocket(uint32_t ip, uint16_t port, bool shared, std::string* message) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *message = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (shared) {
        // Every simulator on this port receives each broadcast probe.
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    // A window of 100 unacknowledged blocks arrives at once: room for all of
    // them, past the system default where we may.
    const int bufferBytes = 4 * 1024 * 1024;
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bufferBytes, sizeof bufferBytes) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        char text[16];
        platform::formatIpv4(ip, text);
        *message = std::string("cannot bind ") + text + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (errno == EACCES) *message += " (port below 1024: run as root or inside 'unshare -rn')";
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

UdpServer::~UdpServer() {
    if (unicast_ >= 0) ::close(unicast_);
    if (broadcast_ >= 0) ::close(broadcast_);
}

bool UdpServer::open(uint32_t ip, uint16_t port, bool broadcast, std::string* message, std::string* warning) {
    unicast_ = bindSocket(ip, port, false, message);
    if (unicast_ < 0) return false;
    if (broadcast) {
        std::string why;
        broadcast_ = bindSocket(0xFFFFFFFFu, port, true, &why);
        if (broadcast_ < 0) *warning = "no broadcast discovery: " + why;
    }
    return true;
}

namespace {

// Datagrams moved per system call: a window of blocks arrives at once, and
// one call per batch costs less than one per datagram.
constexpr unsigned kBatch = 64;

sockaddr_in addressOf(Peer p) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(p.port);
    a.sin_addr.s_addr = htonl(p.ip);
    return a;
}

// Sends the due datagrams in batches. A full socket buffer or an
// unreachable peer loses a datagram, as the network would.
void sendAll(int fd, const std::vector<Datagram>& due, Responder& responder) {
    mmsghdr messages[kBatch];
    iovec parts[kBatch];
    sockaddr_in to[kBatch];
    size_t next = 0;
    while (next < due.size()) {
        const unsigned count = static_cast<unsigned>(std::min<size_t>(kBatch, due.size() - next));
        for (unsigned i = 0; i < count; ++i) {
            const Datagram& d = due[next + i];
            to[i] = addressOf(d.to);
            parts[i] = {const_cast<uint8_t*>(d.bytes.data()), d.bytes.size()};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &to[i];
            messages[i].msg_hdr.msg_namelen = sizeof to[i];
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int sent = ::sendmmsg(fd, messages, count, MSG_NOSIGNAL);
        if (sent > 0) {
            for (int i = 0; i < sent; ++i) responder.noteSent();
            next += static_cast<size_t>(sent);
        } else {
            ++next;  // the first datagram of the batch failed: it is lost
        }
    }
}

}  // namespace

void UdpServer::run(Responder& responder, const std::atomic<int>& stop) {
    // Left uninitialised: only the pages that datagrams reach are touched.
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBatch * kLargestDatagram]);
    mmsghdr messages[kBatch];
    iovec parts[kBatch];
    sockaddr_in from[kBatch];
    std::vector<Datagram> due;
    // A full batch means more datagrams are likely queued (a window of
    // blocks): the next round reads both sockets again at once, without a
    // poll first (the broadcast socket too, so a flood cannot starve it).
    bool batchFilled = false;
    while (!stop.load(std::memory_order_relaxed)) {
        const uint32_t now = platform::systemTickMs();
        responder.takeDue(now, due);
        sendAll(unicast_, due, responder);
        responder.recycle(due);
        bool readable[2] = {true, true};
        const int count = broadcast_ >= 0 ? 2 : 1;
        if (!batchFilled) {
            pollfd fds[2] = {{unicast_, POLLIN, 0}, {broadcast_, POLLIN, 0}};
            const int r =
                ::poll(fds, count, static_cast<int>(responder.msUntilDue(platform::systemTickMs(), kMaxWaitMs)));
            if (r <= 0) continue;  // timeout, or a signal (EINTR): check `stop`
            for (int i = 0; i < count; ++i) readable[i] = (fds[i].revents & POLLIN) != 0;
        }
        batchFilled = false;
        const int sockets[2] = {unicast_, broadcast_};
        for (int i = 0; i < count; ++i) {
            if (!readable[i]) continue;
            // One batch of what is queued per round, so that due replies
            // are not starved.
            for (unsigned k = 0; k < kBatch; ++k) {
                parts[k] = {buffer.get() + k * kLargestDatagram, kLargestDatagram};
                messages[k] = {};
                messages[k].msg_hdr.msg_name = &from[k];
                messages[k].msg_hdr.msg_namelen = sizeof from[k];
                messages[k].msg_hdr.msg_iov = &parts[k];
                messages[k].msg_hdr.msg_iovlen = 1;
            }
            // EAGAIN, or an error reported for an earlier send, ends the batch.
            const int n = ::recvmmsg(sockets[i], messages, kBatch, MSG_DONTWAIT, nullptr);
            for (int k = 0; k < n; ++k) {
                const Peer peer{ntohl(from[k].sin_addr.s_addr), ntohs(from[k].sin_port)};
                responder.receive(static_cast<const uint8_t*>(parts[k].iov_base), messages[k].msg_len, peer,
                                  platform::systemTickMs());
            }
            if (i == 0 && n == static_cast<int>(kBatch)) batchFilled = true;
        }
    }
}

}  // namespace tvx::sim
