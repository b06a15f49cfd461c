#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/serial_line_service.h"
#include "platform/platform.h"
#include "server/serial_server.h"

namespace tvx::sim {
namespace {

constexpr int kMaxWaitMs = 100;

uint32_t baudOf(speed_t s) {
    switch (s) {
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        case B460800: return 460800;
        case B921600: return 921600;
        default: return 0;
    }
}

void makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

SerialServer::SerialServer(Controller& controller, const FaultPlan& plan, uint32_t splitGapMs)
    : controller_(controller), faults_(plan), splitGapMs_(splitGapMs) {}

SerialServer::~SerialServer() { close(); }

bool SerialServer::open(const std::string& link, std::string* message) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        *message = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        close();
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        *message = "cannot name the pseudo-terminal";
        close();
        return false;
    }
    device_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        *message = "cannot open " + device_ + ": " + std::strerror(errno);
        close();
        return false;
    }
    makeRaw(slave_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (!link.empty()) {
        struct stat st {};
        if (lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                *message = "--pty: " + link + " exists and is not a symbolic link";
                close();
                return false;
            }
            ::unlink(link.c_str());
        }
        if (::symlink(device_.c_str(), link.c_str()) != 0) {
            *message = "--pty: cannot link " + link + ": " + std::strerror(errno);
            close();
            return false;
        }
        link_ = link;
    }
    return true;
}

void SerialServer::close() {
    if (!link_.empty()) ::unlink(link_.c_str());
    link_.clear();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

uint32_t SerialServer::lineBaud() const {
    termios t{};
    // The master reports the line settings the host made on its side.
    if (master_ < 0 || tcgetattr(master_, &t) != 0) return 0;
    return baudOf(cfgetospeed(&t));
}

void SerialServer::pause(uint32_t ms) {
    if (ms == 0) return;
    tcdrain(master_);
    platform::systemSleepMs(ms);
}

void SerialServer::send(const uint8_t* bytes, size_t n) {
    size_t done = 0;
    const uint32_t start = platform::systemTickMs();
    while (done < n) {
        const ssize_t r = ::write(master_, bytes + done, n - done);
        if (r > 0) {
            done += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR) return;
        // Nobody reads the line: give up after a while, as a UART would not
        // but the simulator must not stall.
        if (platform::systemTickMs() - start > 2000) return;
        pollfd out{master_, POLLOUT, 0};
        ::poll(&out, 1, kMaxWaitMs);
    }
}

void SerialServer::handle(const uint8_t* frame, size_t n) {
    ++stats_.frames;
    if (observer_) observer_(true, frame, n);
    auto* line = controller_.service<SerialLineService>();
    const uint8_t station = line ? line->station : kDefaultSerialStation;
    if (frame[0] != station && frame[0] != kBroadcastStation) {
        ++stats_.otherStation;
        return;
    }
    // A host at another baud would deliver only garbage.
    if (const uint32_t host = lineBaud(); line && host != 0 && host != line->baud) {
        ++stats_.wrongBaud;
        return;
    }
    if (faults_.plan().silent) return;
    if (faults_.dropRequest()) {
        ++stats_.droppedRequests;
        return;
    }
    uint8_t reply[kFrameCapacity];
    const size_t length = controller_.handleFrame(Framing::rtu, frame, n, reply, sizeof reply);
    if (length == 0) return;
    if (observer_) observer_(false, reply, length);
    const ReplyFate fate = faults_.replyFate();
    pause(fate.delayMs);
    if (fate.drop) {
        ++stats_.droppedReplies;
    } else {
        if (fate.noise) {
            // Noise that never looks like the start of a frame to the host:
            // neither the reply's station nor the broadcast station.
            uint8_t noise[64];
            const size_t k = faults_.makeNoise(nullptr, 0, noise, sizeof noise);
            for (size_t i = 0; i < k; ++i)
                while (noise[i] == reply[0] || noise[i] == kBroadcastStation) ++noise[i];
            send(noise, k);
            ++stats_.noise;
        }
        if (fate.corrupt) {
            reply[fate.corruptAt % length] ^= fate.corruptMask;
            ++stats_.corrupted;
        }
        if (splitGapMs_ > 0 && length > 1) {
            // The reply in two parts with a pause between them.
            const size_t first = length / 2;
            send(reply, first);
            pause(splitGapMs_);
            send(reply + first, length - first);
            ++stats_.split;
        } else {
            send(reply, length);
        }
        ++stats_.replies;
    }
    // A baud change takes effect once its reply has left at the old baud.
    uint32_t newBaud;
    if (line && line->takeBaudChange(&newBaud)) {
        tcdrain(master_);
        line->baud = newBaud;
    }
}

void SerialServer::run(const std::atomic<int>& stop) {
    uint8_t chunk[512];
    while (!stop.load(std::memory_order_relaxed)) {
        pollfd in{master_, POLLIN, 0};
        const int r = ::poll(&in, 1, kMaxWaitMs);
        // Run the idle check of the framer even without data.
        if (r <= 0 || !(in.revents & POLLIN)) {
            framer_.feed(chunk, 0, platform::systemTickMs(), [](const uint8_t*, size_t) {});
            if (r > 0 && (in.revents & (POLLHUP | POLLERR))) platform::systemSleepMs(kMaxWaitMs);
            continue;
        }
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) continue;
        stats_.bytesIn += static_cast<uint64_t>(n);
        framer_.feed(chunk, static_cast<size_t>(n), platform::systemTickMs(),
                     [this](const uint8_t* frame, size_t length) { handle(frame, length); });
    }
}

}  // namespace tvx::sim
