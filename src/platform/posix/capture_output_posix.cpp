#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "base/trace.h"
#include "platform/capture_output.h"
#include "platform/platform.h"

namespace tvx::platform {
namespace {

inline constexpr size_t kHeadBytes = 4;

// Blocks SIGPIPE in the calling thread while it lives. A write to a pipe
// without a reader then fails with EPIPE instead of killing the host; the
// signal it left pending is taken back so the host never sees it.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~PipeSignalHeld() {
        if (raised_ && !wasPending_) {
            const timespec none{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    void noteRaised() { raised_ = true; }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

private:
    sigset_t pipe_{};
    sigset_t previous_{};
    bool wasPending_ = false;
    bool raised_ = false;
};

bool existingHeadAccepted(const char* path, bool (*keep)(const uint8_t*, size_t)) {
    struct stat st {};
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t head[kHeadBytes] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return n > 0 && keep(head, static_cast<size_t>(n));
}

uint64_t nowMs() { return monotonicNanos() / 1000000u; }

}  // namespace

bool CaptureOutput::open(const char* path, bool (*keep)(const uint8_t*, size_t), bool* appended) {
    close();
    const bool append = keep && existingHeadAccepted(path, keep);
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0644);
    if (fd < 0) return false;
    // Regular files ignore it; a pipe's writes then never block, and a
    // stalled reader is waited for with a limit.
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    handle_ = fd;
    if (appended) *appended = append;
    return true;
}

OutputWrite CaptureOutput::write(const uint8_t* bytes, size_t n, uint32_t timeLimitMs) {
    if (handle_ == kNone) return OutputWrite::failed;
    const int fd = static_cast<int>(handle_);
    PipeSignalHeld held;
    const uint64_t deadline = nowMs() + timeLimitMs;
    while (n > 0) {
        const ssize_t r = ::write(fd, bytes, n);
        if (r > 0) {
            bytes += r;
            n -= static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno == EPIPE) {
            held.noteRaised();
            return OutputWrite::readerGone;
        }
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const uint64_t now = nowMs();
            if (now >= deadline) return OutputWrite::timedOut;
            pollfd p{fd, POLLOUT, 0};
            const int r2 = ::poll(&p, 1, static_cast<int>(deadline - now));
            if (r2 < 0 && errno != EINTR) return OutputWrite::failed;
            continue;
        }
        return OutputWrite::failed;
    }
    return OutputWrite::ok;
}

void CaptureOutput::close() {
    if (handle_ == kNone) return;
    ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

uint32_t processId() { return static_cast<uint32_t>(::getpid()); }

}  // namespace tvx::platform
