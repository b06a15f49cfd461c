// Runs a program on a pseudo-terminal and types at it as a person would,
// for the end-to-end scripts:
//
//   pty_drive [--timeout SEC] [--columns N] STEP... -- PROGRAM ARGS...
//
// Steps run in order: "send:TEXT" types TEXT; "expect:TEXT" waits until
// TEXT appears in the output after the previous expected text. TEXT takes
// the escapes \r \n \e \\ and \xHH. After the steps the program's output is
// read until it ends; the whole transcript goes to stdout.
//
// Exit status: the program's, 124 when the time ran out (the program is
// killed), 125 when an expected text did not come, 126 for a bad command line.
#include <pty.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
    bool send;
    std::string text;
};

bool unescape(std::string_view in, std::string* out) {
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            *out += in[i];
            continue;
        }
        if (++i == in.size()) return false;
        switch (in[i]) {
            case 'r': *out += '\r'; break;
            case 'n': *out += '\n'; break;
            case 'e': *out += '\x1b'; break;
            case '\\': *out += '\\'; break;
            case 'x': {
                const std::string hex(in.substr(i + 1, 2));
                char* end = nullptr;
                const long v = std::strtol(hex.c_str(), &end, 16);
                if (hex.size() != 2 || *end != '\0') return false;
                *out += static_cast<char>(v);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

class Driver {
public:
    Driver(int fd, pid_t child, Clock::time_point deadline) : fd_(fd), child_(child), deadline_(deadline) {}

    // Reads what is there, waiting at most until the deadline; false when
    // the output has ended or the time is up.
    bool pump(int waitMs) {
        struct pollfd p {fd_, POLLIN, 0};
        const int ready = poll(&p, 1, waitMs);
        if (ready < 0) return errno == EINTR;
        if (ready == 0) return Clock::now() < deadline_;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            transcript_.append(buffer, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) return true;
        ended_ = true;  // EIO: the program closed the terminal
        return false;
    }

    bool expect(const std::string& text) {
        for (;;) {
            const size_t at = transcript_.find(text, searched_);
            if (at != std::string::npos) {
                searched_ = at + text.size();
                return true;
            }
            if (ended_ || Clock::now() >= deadline_ || !pump(remainingMs())) {
                // A last look at what arrived with the final read.
                const size_t late = transcript_.find(text, searched_);
                if (late == std::string::npos) return false;
                searched_ = late + text.size();
                return true;
            }
        }
    }

    bool send(const std::string& text) {
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads to the end of the output and reaps the program; -1 on timeout.
    int finish() {
        while (!ended_ && Clock::now() < deadline_) pump(remainingMs());
        int status = 0;
        for (;;) {
            const pid_t r = waitpid(child_, &status, WNOHANG);
            if (r == child_) break;
            if (r < 0) return -1;
            if (Clock::now() >= deadline_) {
                kill(child_, SIGKILL);
                waitpid(child_, &status, 0);
                return -1;
            }
            usleep(10000);
        }
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }

    void killChild() {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }

    const std::string& transcript() const { return transcript_; }

private:
    int remainingMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 100));
    }

    int fd_;
    pid_t child_;
    Clock::time_point deadline_;
    std::string transcript_;
    size_t searched_ = 0;
    bool ended_ = false;
};

int usage(const char* why) {
    std::fprintf(stderr, "pty_drive: %s\nusage: pty_drive [--timeout SEC] [--columns N] STEP... -- PROGRAM ARGS...\n", why);
    return 126;
}

}  // namespace

int main(int argc, char** argv) {
    int timeoutSec = 30;
    unsigned short columns = 80;
    std::vector<Step> steps;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--") break;
        if ((a == "--timeout" || a == "--columns") && i + 1 < argc) {
            const int v = std::atoi(argv[++i]);
            if (v <= 0 || v > 1000) return usage("--timeout and --columns take 1 to 1000");
            if (a == "--timeout")
                timeoutSec = v;
            else
                columns = static_cast<unsigned short>(v);
        } else if (a.substr(0, 5) == "send:" || a.substr(0, 7) == "expect:") {
            const bool send = a[0] == 's';
            Step s{send, {}};
            if (!unescape(a.substr(send ? 5 : 7), &s.text)) return usage("bad escape in a step");
            steps.push_back(std::move(s));
        } else {
            return usage("unknown argument");
        }
    }
    if (i + 1 >= argc) return usage("missing -- PROGRAM");

    struct winsize size {};
    size.ws_row = 24;
    size.ws_col = columns;
    int fd = -1;
    const pid_t child = forkpty(&fd, nullptr, nullptr, &size);
    if (child < 0) {
        std::perror("pty_drive: forkpty");
        return 126;
    }
    if (child == 0) {
        execvp(argv[i + 1], argv + i + 1);
        std::perror("pty_drive: exec");
        _exit(127);
    }

    Driver d(fd, child, Clock::now() + std::chrono::seconds(timeoutSec));
    int status = 0;
    for (const Step& s : steps) {
        if (s.send ? d.send(s.text) : d.expect(s.text)) continue;
        std::fprintf(stderr, "pty_drive: %s failed: '%s'\n", s.send ? "send" : "expect", s.text.c_str());
        d.killChild();
        status = 125;
        break;
    }
    if (status == 0) {
        status = d.finish();
        if (status < 0) {
            std::fprintf(stderr, "pty_drive: the program did not end within %d s\n", timeoutSec);
            status = 124;
        }
    }
    std::fwrite(d.transcript().data(), 1, d.transcript().size(), stdout);
    close(fd);
    return status;
}
