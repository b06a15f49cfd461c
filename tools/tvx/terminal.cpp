#include "terminal.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tvx::tool {

#if defined(_WIN32)

bool isTerminal(int fd) { return _isatty(fd) != 0; }
size_t terminalColumns(int) { return 80; }
RawTerminal::~RawTerminal() = default;
bool RawTerminal::enable(int) { return false; }
void RawTerminal::restore() {}
int readByte(int, int) { return kReadEnded; }

#else

namespace {

// The settings to return to; read by the signal handler as well.
struct termios savedSettings;
volatile sig_atomic_t rawFd = -1;

void restoreAndDie(int signal) {
    if (rawFd >= 0) tcsetattr(rawFd, TCSANOW, &savedSettings);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

bool isTerminal(int fd) { return isatty(fd) == 1; }

size_t terminalColumns(int fd) {
    struct winsize ws {};
    if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

RawTerminal::~RawTerminal() { restore(); }

bool RawTerminal::enable(int fd) {
    if (rawFd >= 0 || !isTerminal(fd) || tcgetattr(fd, &savedSettings) != 0) return false;
    struct termios raw = savedSettings;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Output processing stays on: answers keep their "\n" -> "\r\n".
    if (tcsetattr(fd, TCSANOW, &raw) != 0) return false;
    rawFd = fd;
    struct sigaction sa {};
    sa.sa_handler = restoreAndDie;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    return true;
}

void RawTerminal::restore() {
    if (rawFd < 0) return;
    tcsetattr(rawFd, TCSANOW, &savedSettings);
    rawFd = -1;
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
}

int readByte(int fd, int timeoutMs) {
    struct pollfd p {fd, POLLIN, 0};
    for (;;) {
        const int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return kReadEnded;
        if (ready == 0) return kReadTimedOut;
        unsigned char byte;
        const ssize_t n = read(fd, &byte, 1);
        if (n == 1) return byte;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return kReadEnded;
    }
}

#endif

}  // namespace tvx::tool
