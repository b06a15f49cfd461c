// TCP stream sockets over Winsock.
#include <atomic>

#include "platform/platform.h"
#include "platform/stream_socket.h"
#include "platform/socket_address.h"
#include "platform/win32/win32.h"
#include "platform/win32/winsock_open.h"

namespace tvx::platform {
namespace {

SOCKET openStream() { return openWinsockSocket(SOCK_STREAM, IPPROTO_TCP); }

// Small request/answer messages must not wait for more bytes to gather.
void sendAtOnce(SOCKET s) {
    BOOL one = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

bool selectReadable(SOCKET s, uint32_t ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    return ::select(0, &set, nullptr, nullptr, &tv) > 0;
}

}  // namespace

bool StreamSocket::connect(uint32_t ip, uint16_t port) {
    close();
    SOCKET s = openStream();
    if (s == INVALID_SOCKET) return false;
    sockaddr_in a = makeAddress(ip, port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        closesocket(s);
        return false;
    }
    sendAtOnce(s);
    fd_ = static_cast<intptr_t>(s);
    return true;
}

bool StreamSocket::listen(uint32_t ip, uint16_t port) {
    close();
    SOCKET s = openStream();
    if (s == INVALID_SOCKET) return false;
    sockaddr_in a = makeAddress(ip, port);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 16) != 0) {
        closesocket(s);
        return false;
    }
    fd_ = static_cast<intptr_t>(s);
    return true;
}

uint16_t StreamSocket::localPort() const {
    sockaddr_in a{};
    int len = sizeof a;
    if (fd_ == kNone || getsockname(asSocket(fd_), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    return ntohs(a.sin_port);
}

bool StreamSocket::accept(StreamSocket& out, uint32_t ms) {
    if (fd_ == kNone || !selectReadable(asSocket(fd_), ms)) return false;
    SOCKET s = ::accept(asSocket(fd_), nullptr, nullptr);
    if (s == INVALID_SOCKET) return false;
    sendAtOnce(s);
    out.close();
    out.fd_ = static_cast<intptr_t>(s);
    return true;
}

bool StreamSocket::waitReadable(uint32_t ms) { return fd_ != kNone && selectReadable(asSocket(fd_), ms); }

bool StreamSocket::setReceiveTimeout(uint32_t ms) {
    if (fd_ == kNone) return false;
    DWORD v = ms;
    return setsockopt(asSocket(fd_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

bool StreamSocket::sendAll(const uint8_t* data, size_t n) {
    if (fd_ == kNone) return false;
    while (n > 0) {
        const int chunk = n > 65536 ? 65536 : static_cast<int>(n);
        int r = ::send(asSocket(fd_), reinterpret_cast<const char*>(data), chunk, 0);
        if (r == SOCKET_ERROR || r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool StreamSocket::receiveAll(uint8_t* data, size_t n) {
    if (fd_ == kNone) return false;
    while (n > 0) {
        const int chunk = n > 65536 ? 65536 : static_cast<int>(n);
        int r = ::recv(asSocket(fd_), reinterpret_cast<char*>(data), chunk, 0);
        if (r == SOCKET_ERROR || r <= 0) return false;
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
        if (spent >= ms || !selectReadable(asSocket(fd_), ms - spent)) return false;
        const int chunk = n > 65536 ? 65536 : static_cast<int>(n);
        int r = ::recv(asSocket(fd_), reinterpret_cast<char*>(data), chunk, 0);
        if (r == SOCKET_ERROR || r <= 0) return false;
        data += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

void StreamSocket::close() {
    if (fd_ == kNone) return;
    closesocket(asSocket(fd_));
    fd_ = kNone;
}

}  // namespace tvx::platform
