#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/stream_socket.h"
#include "platform/socket_address.h"

namespace tvx::platform {
namespace {

int openStream() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }

// Small request/answer messages must not wait for more bytes to gather.
void sendAtOnce(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool pollFor(int fd, uint32_t ms) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms));
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

}  // namespace

bool StreamSocket::connect(uint32_t ip, uint16_t port) {
    close();
    int fd = openStream();
    if (fd < 0) return false;
    sockaddr_in a = makeAddress(ip, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return false;
    }
    sendAtOnce(fd);
    fd_ = fd;
    return true;
}

bool StreamSocket::listen(uint32_t ip, uint16_t port) {
    close();
    int fd = openStream();
    if (fd < 0) return false;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = makeAddress(ip, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

uint16_t StreamSocket::localPort() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (fd_ == kNone || getsockname(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

bool StreamSocket::accept(StreamSocket& out, uint32_t ms) {
    if (fd_ == kNone || !pollFor(static_cast<int>(fd_), ms)) return false;
    int fd = ::accept4(static_cast<int>(fd_), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    sendAtOnce(fd);
    out.close();
    out.fd_ = fd;
    return true;
}

bool StreamSocket::waitReadable(uint32_t ms) { return fd_ != kNone && pollFor(static_cast<int>(fd_), ms); }

bool StreamSocket::setReceiveTimeout(uint32_t ms) {
    if (fd_ == kNone) return false;
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    return setsockopt(static_cast<int>(fd_), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool StreamSocket::sendAll(const uint8_t* data, size_t n) {
    if (fd_ == kNone) return false;
    while (n > 0) {
        // A peer that went away must not raise SIGPIPE in the host program.
        ssize_t r = ::send(static_cast<int>(fd_), data, n, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool StreamSocket::receiveAll(uint8_t* data, size_t n) {
    if (fd_ == kNone) return false;
    while (n > 0) {
        ssize_t r = ::recv(static_cast<int>(fd_), data, n, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool StreamSocket::receiveAllWithin(uint8_t* data, size_t n, uint32_t ms) {
    if (fd_ == kNone) return false;
    const uint32_t start = systemTickMs();
    while (n > 0) {
        const uint32_t spent = systemTickMs() - start;
        if (spent >= ms || !pollFor(static_cast<int>(fd_), ms - spent)) return false;
        ssize_t r = ::recv(static_cast<int>(fd_), data, n, MSG_DONTWAIT);
        if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

void StreamSocket::close() {
    if (fd_ == kNone) return;
    ::close(static_cast<int>(fd_));
    fd_ = kNone;
}

}  // namespace tvx::platform
