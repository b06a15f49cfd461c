// The serial port on the Win32 communications functions: the port opened
// for overlapped I/O, a comm-event thread that waits for received
// characters and line errors, overlapped reads and writes, each with an
// OVERLAPPED block and a manual-reset event of its own.
#include <atomic>
#include <cstdio>
#include <new>

#include "platform/platform.h"
#include "platform/serial_port.h"
#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

constexpr DWORD kQueueBytes = 2048;
// A pending read gets this long before it is cancelled.
constexpr DWORD kReadWaitMs = 20;
// The event thread re-checks its run flag at least this often.
constexpr DWORD kEventSliceMs = 200;
// Where comm events are unavailable (some drivers and emulations), the
// thread looks for queued bytes this often instead.
constexpr DWORD kPollFallbackMs = 5;
constexpr int kWriteRounds = 10;

struct PortImpl {
    HANDLE port = INVALID_HANDLE_VALUE;
    OVERLAPPED readOv{};
    OVERLAPPED writeOv{};
    OVERLAPPED eventOv{};
    Thread eventThread;
    std::atomic<bool> run{false};
    std::atomic<bool> lost{false};
    SerialPort::DataHandler onData = nullptr;
    SerialPort::LostHandler onLost = nullptr;
    void* context = nullptr;
    // Outlives every read issued into it: the port object owns it.
    uint8_t chunk[SerialPort::kReadChunk];
};

// Errors with which the system reports a port whose device went away.
bool errorMeansGone(DWORD e) {
    return e == ERROR_ACCESS_DENIED || e == ERROR_BAD_COMMAND || e == ERROR_GEN_FAILURE ||
           e == ERROR_DEVICE_REMOVED || e == ERROR_DEVICE_NOT_CONNECTED || e == ERROR_INVALID_HANDLE ||
           e == ERROR_FILE_NOT_FOUND;
}

void markLost(PortImpl& p) {
    if (p.lost.exchange(true)) return;
    if (p.onLost) p.onLost(p.context);
}

bool makeEvent(OVERLAPPED& ov) {
    ov = OVERLAPPED{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return ov.hEvent != nullptr;
}

void closeEvent(OVERLAPPED& ov) {
    if (ov.hEvent) CloseHandle(ov.hEvent);
    ov.hEvent = nullptr;
}

void freeImpl(PortImpl* p) {
    if (p->port != INVALID_HANDLE_VALUE) CloseHandle(p->port);
    closeEvent(p->readOv);
    closeEvent(p->writeOv);
    closeEvent(p->eventOv);
    delete p;
}

// Reads what is queued and hands it to the data handler. Returns false when
// the device is gone.
bool readQueued(PortImpl& p) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(p.port, &errors, &stat)) {
        if (errorMeansGone(GetLastError())) return false;
        p.onData(p.context, p.chunk, 0);
        return true;
    }
    if (errors != 0) {
        // A line error spoilt what is queued: drop it; the transaction
        // resends or times out.
        PurgeComm(p.port, PURGE_RXABORT | PURGE_RXCLEAR);
        p.onData(p.context, p.chunk, 0);
        return true;
    }
    const DWORD want = stat.cbInQue < SerialPort::kReadChunk ? stat.cbInQue : SerialPort::kReadChunk;
    if (want == 0) return true;
    DWORD got = 0;
    ResetEvent(p.readOv.hEvent);
    if (!ReadFile(p.port, p.chunk, want, &got, &p.readOv)) {
        const DWORD e = GetLastError();
        got = 0;
        if (e == ERROR_IO_PENDING) {
            WaitForSingleObject(p.readOv.hEvent, kReadWaitMs);
            if (!GetOverlappedResult(p.port, &p.readOv, &got, FALSE)) {
                // Still running: cancel it and wait until the system has
                // let go of the buffer.
                got = 0;
                if (GetLastError() == ERROR_IO_INCOMPLETE) {
                    CancelIo(p.port);
                    if (!GetOverlappedResult(p.port, &p.readOv, &got, TRUE)) got = 0;
                }
            }
        } else if (errorMeansGone(e)) {
            return false;
        }
    }
    p.onData(p.context, p.chunk, got);
    return true;
}

void eventThreadMain(void* arg) {
    auto& p = *static_cast<PortImpl*>(arg);
    if (!SetCommMask(p.port, EV_RXCHAR | EV_ERR)) return;
    while (p.run.load(std::memory_order_acquire)) {
        DWORD mask = 0;
        ResetEvent(p.eventOv.hEvent);
        bool waited = WaitCommEvent(p.port, &mask, &p.eventOv) != 0;
        if (!waited && GetLastError() == ERROR_IO_PENDING) {
            // close() clears the event mask, which completes the wait.
            while (WaitForSingleObject(p.eventOv.hEvent, kEventSliceMs) == WAIT_TIMEOUT &&
                   p.run.load(std::memory_order_acquire)) {
            }
            if (!p.run.load(std::memory_order_acquire)) {
                // close() may have set the event itself: make sure the
                // system is done with the OVERLAPPED block before leaving.
                CancelIo(p.port);
                for (int i = 0; i < 50 && !HasOverlappedIoCompleted(&p.eventOv); ++i) Sleep(1);
                break;
            }
            DWORD ignored = 0;
            waited = GetOverlappedResult(p.port, &p.eventOv, &ignored, FALSE) != 0;
        }
        if (!p.run.load(std::memory_order_acquire)) break;
        if (!waited) {
            if (errorMeansGone(GetLastError())) {
                markLost(p);
                return;
            }
            // No comm events from this port: look for bytes now and then.
            Sleep(kPollFallbackMs);
            mask = EV_RXCHAR;
        }
        if (mask & EV_ERR) {
            DWORD errors = 0;
            ClearCommError(p.port, &errors, nullptr);
        }
        if ((mask & EV_RXCHAR) && !readQueued(p)) {
            markLost(p);
            return;
        }
    }
}

}  // namespace

SerialPort::~SerialPort() { close(100); }

bool SerialPort::devicePath(uint32_t port, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = 0;
    if (port < kFirstSerialPort || port > kLastSerialPort) return false;
    // The device namespace form reaches ports above COM9 as well.
    const int n = std::snprintf(out, capacity, "\\\\.\\COM%u", port);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool SerialPort::open(uint32_t port, DataHandler onData, LostHandler onLost, void* context) {
    close(100);
    if (impl_ || !onData) return false;
    clearSerialFailure();
    char path[24];
    if (!devicePath(port, path, sizeof path)) return false;
    auto* p = new (std::nothrow) PortImpl{};
    if (!p) return false;
    if (!makeEvent(p->readOv) || !makeEvent(p->writeOv) || !makeEvent(p->eventOv)) {
        freeImpl(p);
        return false;
    }
    p->port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (p->port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        char text[128] = {};
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                 sizeof text, nullptr);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) text[--n] = 0;
        if (n == 0) std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(error));
        noteSerialFailure(port, path, false, text);
        freeImpl(p);
        return false;
    }
    p->onData = onData;
    p->onLost = onLost;
    p->context = context;
    p->run.store(true);
    if (!p->eventThread.start(eventThreadMain, p)) {
        freeImpl(p);
        return false;
    }
    impl_ = p;
    return true;
}

bool SerialPort::configure() {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p) return false;
    if (!SetupComm(p->port, kQueueBytes, kQueueBytes)) return false;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what is queued
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(p->port, &t)) return false;
    return PurgeComm(p->port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
}

bool SerialPort::setLine(const SerialLine& line) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p || line.parity > parity::space || line.stopBits > stop_bits::two) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(p->port, &dcb)) return false;
    dcb.BaudRate = line.baud;
    dcb.ByteSize = 8;
    // The parity and stop-bit codes are the DCB's own.
    dcb.Parity = static_cast<BYTE>(line.parity);
    dcb.StopBits = static_cast<BYTE>(line.stopBits);
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fNull = FALSE;
    return SetCommState(p->port, &dcb) != 0;
}

int SerialPort::write(const uint8_t* bytes, uint32_t n) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p || p->lost.load()) return -1;
    uint32_t sent = 0;
    for (int round = 0; round < kWriteRounds && sent < n; ++round) {
        DWORD errors = 0;
        if (!ClearCommError(p->port, &errors, nullptr) && errorMeansGone(GetLastError())) {
            markLost(*p);
            return -1;
        }
        if (errors != 0) PurgeComm(p->port, PURGE_TXABORT | PURGE_TXCLEAR);
        DWORD written = 0;
        ResetEvent(p->writeOv.hEvent);
        if (!WriteFile(p->port, bytes + sent, n - sent, &written, &p->writeOv)) {
            const DWORD e = GetLastError();
            written = 0;
            if (e == ERROR_IO_PENDING) {
                // Wait for the real count; the port's own write timeout ends
                // the write, and a margin beyond it cancels one that hangs.
                if (WaitForSingleObject(p->writeOv.hEvent, kWriteTimeoutMs + 500) != WAIT_OBJECT_0) CancelIo(p->port);
                if (!GetOverlappedResult(p->port, &p->writeOv, &written, TRUE)) written = 0;
            } else if (errorMeansGone(e)) {
                markLost(*p);
                return -1;
            } else {
                break;
            }
        }
        if (written == 0) break;  // the write timed out: the line does not drain
        sent += written;
    }
    return static_cast<int>(sent);
}

bool SerialPort::isOpen() const {
    auto* p = static_cast<PortImpl*>(impl_);
    return p && p->port != INVALID_HANDLE_VALUE;
}

bool SerialPort::lost() const {
    auto* p = static_cast<PortImpl*>(impl_);
    return p && p->lost.load();
}

bool SerialPort::close(uint32_t stopMs) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p) return true;
    p->run.store(false, std::memory_order_release);
    // An empty event mask completes a pending wait for comm events.
    SetCommMask(p->port, 0);
    SetEvent(p->eventOv.hEvent);
    if (!stopThread(p->eventThread, stopMs)) return false;  // the thread may still use p: keep it
    freeImpl(p);
    impl_ = nullptr;
    return true;
}

}  // namespace tvx::platform
