// The serial port on termios: a non-blocking descriptor in raw mode, a
// reader thread that waits in poll() on the port and on a wake-up pipe, and
// writes bounded by poll() on the way out.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "platform/serial_port.h"

namespace tvx::platform {
namespace {

// The reader re-checks its run flag at least this often, whatever poll()
// reports.
constexpr int kReaderPollMs = 200;

struct PortImpl {
    int fd = -1;
    int wake[2] = {-1, -1};  // the reader's wake-up pipe
    Thread reader;
    std::atomic<bool> run{false};
    std::atomic<bool> lost{false};
    SerialPort::DataHandler onData = nullptr;
    SerialPort::LostHandler onLost = nullptr;
    void* context = nullptr;
    // Kept here, not on the reader's stack, like every buffer the port fills.
    uint8_t chunk[SerialPort::kReadChunk];
};

uint32_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000u + static_cast<uint32_t>(ts.tv_nsec / 1000000));
}

bool errnoMeansGone(int e) { return e == EIO || e == ENXIO || e == ENODEV || e == EBADF || e == EPIPE; }

void markLost(PortImpl& p) {
    if (p.lost.exchange(true)) return;
    if (p.onLost) p.onLost(p.context);
}

void readerMain(void* arg) {
    auto& p = *static_cast<PortImpl*>(arg);
    while (p.run.load(std::memory_order_acquire)) {
        pollfd fds[2] = {{p.fd, POLLIN, 0}, {p.wake[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, kReaderPollMs);
        if (!p.run.load(std::memory_order_acquire)) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            markLost(p);
            return;
        }
        if (r == 0 || fds[1].revents) continue;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(p.fd, p.chunk, sizeof p.chunk);
            if (n > 0) {
                p.onData(p.context, p.chunk, static_cast<uint32_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            // End of file or an I/O error: the device is gone.
            markLost(p);
            return;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            markLost(p);
            return;
        }
    }
}

speed_t speedFor(uint32_t baud) {
    switch (baud) {
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return B0;
    }
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

// strerror_r comes in two forms; either gives the text.
[[maybe_unused]] const char* errorText(int result, const char* buffer) { return result == 0 ? buffer : "unknown error"; }
[[maybe_unused]] const char* errorText(const char* result, const char*) { return result; }

SerialPort::~SerialPort() { close(100); }

bool SerialPort::devicePath(uint32_t port, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = 0;
    if (port < kFirstSerialPort || port > kLastSerialPort) return false;
    char name[24];
    std::snprintf(name, sizeof name, "TAVRIX_COM%u", port);
    const char* mapped = std::getenv(name);
    const int n = (mapped && *mapped) ? std::snprintf(out, capacity, "%s", mapped)
                                      : std::snprintf(out, capacity, "/dev/ttyS%u", port - 1);
    if (n < 0 || static_cast<size_t>(n) >= capacity) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool SerialPort::open(uint32_t port, DataHandler onData, LostHandler onLost, void* context) {
    close(100);
    if (impl_ || !onData) return false;  // a thread that would not stop still owns the old port
    clearSerialFailure();
    char path[1024];
    if (!devicePath(port, path, sizeof path)) return false;
    auto* p = new (std::nothrow) PortImpl{};
    if (!p) return false;
    p->fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (p->fd < 0 || !isatty(p->fd) || pipe2(p->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        char text[128];
        char name[24];
        std::snprintf(name, sizeof name, "TAVRIX_COM%u", port);
        const char* mapped = std::getenv(name);
        noteSerialFailure(port, path, mapped && *mapped, errorText(strerror_r(error, text, sizeof text), text));
        closeFd(p->fd);
        delete p;
        return false;
    }
    // One owner at a time, as a COM port is on Windows (root may still open).
    ioctl(p->fd, TIOCEXCL);
    p->onData = onData;
    p->onLost = onLost;
    p->context = context;
    p->run.store(true);
    if (!p->reader.start(readerMain, p)) {
        ioctl(p->fd, TIOCNXCL);
        closeFd(p->fd);
        closeFd(p->wake[0]);
        closeFd(p->wake[1]);
        delete p;
        return false;
    }
    impl_ = p;
    return true;
}

bool SerialPort::configure() {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p || p->fd < 0) return false;
    termios t{};
    if (tcgetattr(p->fd, &t) != 0) return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // A read returns what is queued at once.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(p->fd, TCSANOW, &t) != 0) return false;
    return tcflush(p->fd, TCIOFLUSH) == 0;
}

bool SerialPort::setLine(const SerialLine& line) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p || p->fd < 0) return false;
    const speed_t speed = speedFor(line.baud);
    if (speed == B0) return false;
    termios t{};
    if (tcgetattr(p->fd, &t) != 0) return false;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    switch (line.parity) {
        case parity::none: break;
        case parity::odd: t.c_cflag |= PARENB | PARODD; break;
        case parity::even: t.c_cflag |= PARENB; break;
        case parity::mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case parity::space: t.c_cflag |= PARENB | CMSPAR; break;
        default: return false;
    }
    // termios knows one or two stop bits; one and a half is sent as two.
    if (line.stopBits == stop_bits::oneAndHalf || line.stopBits == stop_bits::two) t.c_cflag |= CSTOPB;
    else if (line.stopBits != stop_bits::one) return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (tcsetattr(p->fd, TCSANOW, &t) != 0) return false;
    // DTR on, RTS off. Devices without modem lines (pseudo-terminals)
    // refuse these: that is not an error of the line settings.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ioctl(p->fd, TIOCMBIS, &dtr);
    ioctl(p->fd, TIOCMBIC, &rts);
    return true;
}

int SerialPort::write(const uint8_t* bytes, uint32_t n) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p || p->fd < 0 || p->lost.load()) return -1;
    const uint32_t start = monotonicMs();
    uint32_t sent = 0;
    while (sent < n) {
        const ssize_t r = ::write(p->fd, bytes + sent, n - sent);
        if (r > 0) {
            sent += static_cast<uint32_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) {
            if (errnoMeansGone(errno)) {
                markLost(*p);
                return -1;
            }
            break;
        }
        // The output queue is full: wait for room, within the write limit.
        const uint32_t spent = monotonicMs() - start;
        if (spent >= kWriteTimeoutMs) break;
        pollfd out{p->fd, POLLOUT, 0};
        if (::poll(&out, 1, static_cast<int>(kWriteTimeoutMs - spent)) < 0 && errno != EINTR) break;
        if (out.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            markLost(*p);
            return -1;
        }
    }
    return static_cast<int>(sent);
}

bool SerialPort::isOpen() const {
    auto* p = static_cast<PortImpl*>(impl_);
    return p && p->fd >= 0;
}

bool SerialPort::lost() const {
    auto* p = static_cast<PortImpl*>(impl_);
    return p && p->lost.load();
}

bool SerialPort::close(uint32_t stopMs) {
    auto* p = static_cast<PortImpl*>(impl_);
    if (!p) return true;
    p->run.store(false, std::memory_order_release);
    const uint8_t wakeByte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(p->wake[1], &wakeByte, 1);
    if (!stopThread(p->reader, stopMs)) return false;  // the reader may still use p: keep it
    ioctl(p->fd, TIOCNXCL);
    closeFd(p->fd);
    closeFd(p->wake[0]);
    closeFd(p->wake[1]);
    delete p;
    impl_ = nullptr;
    return true;
}

}  // namespace tvx::platform
