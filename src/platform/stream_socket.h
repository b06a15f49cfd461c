// A TCP stream socket on IPv4, enough for a loopback conversation: connect,
// listen and accept, whole-message sends and receives with time limits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

class StreamSocket {
public:
    StreamSocket() = default;
    ~StreamSocket() { close(); }
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    bool valid() const { return fd_ != kNone; }
    // Connects to ip:port (host byte order); false when nobody listens.
    bool connect(uint32_t ip, uint16_t port);
    // Listens on ip:port (0 = a port chosen by the system).
    bool listen(uint32_t ip, uint16_t port);
    uint16_t localPort() const;
    // Waits up to `ms` for a connection; false when none came.
    bool accept(StreamSocket& out, uint32_t ms);
    // True when bytes (or the peer's close) are waiting within `ms`.
    bool waitReadable(uint32_t ms);
    // Bounds every later receive; a receive that waits longer fails.
    bool setReceiveTimeout(uint32_t ms);
    // Sends all `n` bytes; false on any failure (a closed peer included).
    bool sendAll(const uint8_t* data, size_t n);
    // Receives exactly `n` bytes; false on a timeout, an error or the
    // peer's close.
    bool receiveAll(uint8_t* data, size_t n);
    // Receives exactly `n` bytes within `ms` in all, however they arrive;
    // false on the time running out, an error or the peer's close.
    bool receiveAllWithin(uint8_t* data, size_t n, uint32_t ms);
    void close();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t fd_ = kNone;
};

}  // namespace tvx::platform
