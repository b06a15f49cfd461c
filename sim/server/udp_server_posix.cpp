#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

void UdpServer::run(Responder& responder, const std::atomic<int>& stop) {
    std::vector<uint8_t> buffer(kLargestDatagram);
    std::vector<Datagram> due;
    while (!stop.load(std::memory_order_relaxed)) {
        const uint32_t now = platform::systemTickMs();
        due.clear();
        responder.takeDue(now, due);
        for (const Datagram& d : due) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(d.to.port);
            to.sin_addr.s_addr = htonl(d.to.ip);
            // A full socket buffer or an unreachable peer loses the datagram,
            // as the network would.
            if (::sendto(unicast_, d.bytes.data(), d.bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
                         sizeof to) >= 0)
                responder.noteSent();
        }
        pollfd fds[2] = {{unicast_, POLLIN, 0}, {broadcast_, POLLIN, 0}};
        const int count = broadcast_ >= 0 ? 2 : 1;
        const int r = ::poll(fds, count, static_cast<int>(responder.msUntilDue(platform::systemTickMs(), kMaxWaitMs)));
        if (r <= 0) continue;  // timeout, or a signal (EINTR): check `stop`
        for (int i = 0; i < count; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            // Drain what is queued, a bounded number per wake-up so that
            // due replies are not starved.
            for (int k = 0; k < 64; ++k) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t n = ::recvfrom(fds[i].fd, buffer.data(), buffer.size(), 0,
                                             reinterpret_cast<sockaddr*>(&from), &length);
                if (n < 0) break;  // EAGAIN, or an error reported for an earlier send
                const Peer peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
                responder.receive(buffer.data(), static_cast<size_t>(n), peer, platform::systemTickMs());
            }
        }
    }
}

}  // namespace tvx::sim
