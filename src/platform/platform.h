// The platform layer: threads, synchronisation objects, time and sockets.
// Protocol code uses only this interface; the POSIX and Win32 backends live
// in their own folders and CMake compiles exactly one of them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tvx::platform {

// ---- time -------------------------------------------------------------

// Millisecond uptime tick, 32 bits, wrapping; compare as unsigned differences.
uint32_t systemTickMs();
void systemSleepMs(uint32_t ms);

// ---- synchronisation ----------------------------------------------------

// Auto-reset or manual-reset event. Objects are created explicitly so that a
// failure can be reported (the open sequence maps it to an OS error).
class Event {
public:
    Event() = default;
    ~Event() { close(); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool create(bool manualReset);
    void close();
    bool valid() const { return impl_ != nullptr; }
    void set();
    void reset();
    // True when the event was signalled within `ms` milliseconds.
    bool waitFor(uint32_t ms);

private:
    void* impl_ = nullptr;
};

// Counting semaphore with initial and maximum count 1: a release of a free
// semaphore has no effect.
class Semaphore {
public:
    Semaphore() = default;
    ~Semaphore() { close(); }
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    bool create();
    void close();
    bool valid() const { return impl_ != nullptr; }
    void wait();
    bool waitFor(uint32_t ms);
    void release();

private:
    void* impl_ = nullptr;
};

// A thread running `fn(arg)`. Threads end on their own when asked to stop;
// forced termination is the last resort of a stop that timed out.
class Thread {
public:
    using Entry = void (*)(void* arg);

    Thread() = default;
    ~Thread() { release(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    bool start(Entry fn, void* arg);
    bool started() const { return impl_ != nullptr; }
    // True when the thread has ended within `ms` (it is then joined).
    bool joinFor(uint32_t ms);
    // Ends a thread that did not stop in time.
    void terminate();
    // True when called from this thread itself.
    bool isCurrent() const;
    // Forgets the thread; a running thread is detached.
    void release();

private:
    void* impl_ = nullptr;
};

// Waits up to `ms` for `thread` to end, terminating it otherwise, and
// releases it. Never waits for or terminates the calling thread itself.
// Returns true when the thread is known to have ended (or never ran); a
// thread that could not be stopped may still touch the data it was given,
// which must then be left allocated.
bool stopThread(Thread& thread, uint32_t ms);

// ---- sockets ------------------------------------------------------------

// Starts and stops the sockets layer (a no-op where none is needed).
bool initSockets();
void shutdownSockets();

// IPv4 addresses are kept in host byte order.
// Parses dotted text as inet_addr does; false when it is not an address.
bool parseIpv4(const char* text, uint32_t* ip);
// Writes dotted text (at most 15 characters and the terminator).
void formatIpv4(uint32_t ip, char out[16]);

// An IPv4 datagram socket.
class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket() { close(); }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool open();
    bool valid() const { return fd_ != kNone; }
    // Binds to `ip` (0 = any) and `port` (0 = chosen by the system).
    bool bind(uint32_t ip, uint16_t port);
    bool setBroadcast(bool on);
    bool setReceiveTimeout(uint32_t ms);
    // Asks for a receive buffer of `bytes`; the system may grant less.
    bool setReceiveBuffer(int bytes);
    uint16_t localPort() const;
    // Bytes sent, or -1.
    int sendTo(uint32_t ip, uint16_t port, const uint8_t* data, size_t n);
    // Sends `count` datagrams in order (datagram i at data + i * stride,
    // lengths[i] bytes) in as few system calls as the system allows; the
    // count sent before the first failure.
    int sendBatch(uint32_t ip, uint16_t port, const uint8_t* data, size_t stride, const uint32_t* lengths, int count);
    // Bytes received (a datagram may be empty), or -1 for a timeout or an
    // error. Datagrams longer than `capacity` are cut.
    int receiveFrom(uint8_t* buffer, size_t capacity, uint32_t* fromIp, uint16_t* fromPort);
    // Waits for one datagram, then takes those already queued behind it: at
    // most `count`, datagram i into `slotBytes` at buffer + i * slotBytes
    // (cut when longer), its length into lengths[i] and its source address
    // (host byte order) into fromIps[i]. The count taken, or -1 as
    // receiveFrom. One system call for a burst where the system has a batch
    // receive; one datagram a call where it has not.
    int receiveBatch(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count);
    // As receiveBatch, but waits at most `ms` for the first datagram: 0 when
    // none came in time, -1 for an error or once interrupted.
    int receiveBatchWithin(uint8_t* buffer, size_t slotBytes, uint32_t* lengths, uint32_t* fromIps, int count,
                           uint32_t ms);
    bool interrupted() const { return interrupted_.load(std::memory_order_acquire); }
    // The local address the system would send from to reach `ip` (host
    // byte order), or 0 when it has no route.
    static uint32_t localAddressToward(uint32_t ip);
    // Wakes a receive blocked on another thread; from then on every receive
    // reports -1. The socket stays allocated until close().
    void interrupt();
    void close();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t fd_ = kNone;
    std::atomic<bool> interrupted_{false};
    // Set once the system refused a segmented send: batches then go out
    // datagram by datagram.
    bool segmentingRefused_ = false;
};

// ---- memory -------------------------------------------------------------

// Hints that a large buffer is about to be filled whole: where the system
// can, the 2 MiB stretches inside it are then backed by huge pages, so that
// filling it takes one page fault per 2 MiB rather than one per 4 KiB. Only
// a hint: the buffer works the same either way.
void adviseLargeFill(void* data, size_t bytes);

// ---- library frame ------------------------------------------------------

// Tells the user that the library cannot load (Windows: a modal message
// box; Linux: standard error).
void showLoadFailure(const char* message);
// The library's file version as the two 32-bit words of a version resource
// (most and least significant); false when it cannot be read.
bool moduleFileVersion(uint32_t* mostSignificant, uint32_t* leastSignificant);

}  // namespace tvx::platform
