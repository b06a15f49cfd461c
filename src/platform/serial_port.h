// A serial port (RS-232, RS-485, USB adapters) as the serial link uses it:
// opened by number, run raw with 8 data bits and no flow control, written
// with a bounded wait, and read by an event thread of its own that hands
// every received chunk to a handler.
//
// Port numbers run from 1. On Windows port n is the device "\\.\COMn". On
// Linux port n is the device named by the environment variable TAVRIX_COMn
// when it is set and not empty, otherwise /dev/ttyS<n-1>.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

inline constexpr uint32_t kFirstSerialPort = 1;
inline constexpr uint32_t kLastSerialPort = 1024;

// Parity and stop-bit codes of the serial defaults.
namespace parity {
inline constexpr uint32_t none = 0;
inline constexpr uint32_t odd = 1;
inline constexpr uint32_t even = 2;
inline constexpr uint32_t mark = 3;
inline constexpr uint32_t space = 4;
}  // namespace parity
namespace stop_bits {
inline constexpr uint32_t one = 0;
inline constexpr uint32_t oneAndHalf = 1;
inline constexpr uint32_t two = 2;
}  // namespace stop_bits

struct SerialLine {
    uint32_t baud = 38400;
    uint32_t parity = parity::none;
    uint32_t stopBits = stop_bits::one;
};

class SerialPort {
public:
    // Runs on the event thread with each chunk of received bytes. A chunk
    // of 0 bytes reports activity without data (a line error dropped what
    // was queued).
    using DataHandler = void (*)(void* context, const uint8_t* bytes, uint32_t n);
    // Runs once on the event thread when the device went away (adapter
    // unplugged, pseudo-terminal closed); the thread ends after it.
    using LostHandler = void (*)(void* context);

    // Bytes a single read hands over at most.
    static constexpr uint32_t kReadChunk = 2047;
    // Longest wait for a write to leave.
    static constexpr uint32_t kWriteTimeoutMs = 2000;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Writes the device name of `port` to `out` (always terminated); false
    // when the port number is out of range or the name does not fit.
    static bool devicePath(uint32_t port, char* out, size_t capacity);

    // Opens the device of `port` and starts the event thread; false when
    // either fails (nothing is left open then; lastSerialFailure() says
    // which device and why).
    bool open(uint32_t port, DataHandler onData, LostHandler onLost, void* context);
    // Raw mode, buffer sizes and timeouts, then discards what is queued in
    // both directions.
    bool configure();
    // Baud, parity and stop bits with 8 data bits, no flow control, DTR on
    // and RTS off; false when the port refuses them.
    bool setLine(const SerialLine& line);
    // Writes `n` bytes, waiting at most kWriteTimeoutMs for them to leave.
    // Returns the count written, or -1 when the port is closed or gone.
    int write(const uint8_t* bytes, uint32_t n);
    bool isOpen() const;
    // True once the device went away.
    bool lost() const;
    // Stops the event thread (waiting at most `stopMs`) and closes the
    // port. False when the thread could not be stopped: it may still use
    // this object, which must then stay allocated.
    bool close(uint32_t stopMs);

private:
    void* impl_ = nullptr;
};

// Why the last serial open on the calling thread failed: the port, the
// device it names (and whether TAVRIX_COMn mapped it) and the system's
// error text; empty when that open did not fail at the device.
const char* lastSerialFailure();
void noteSerialFailure(uint32_t port, const char* device, bool mapped, const char* reason);
void clearSerialFailure();

}  // namespace tvx::platform
