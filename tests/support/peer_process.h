// A peer program started by a test: its standard output is read until it
// announces itself ready, and it is terminated (by its own process id) when
// the test ends. POSIX only.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace tvx::testing {

class PeerProcess {
public:
    PeerProcess() = default;
    ~PeerProcess() { stop(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // Starts argv[0] with the arguments and waits up to `waitMs` for a line
    // "ready" on its standard output. False (with the output seen so far
    // in `log`) when it cannot start or does not become ready.
    bool start(const std::vector<std::string>& argv, int waitMs, std::string* log) {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        pid_ = ::fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        std::string seen;
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char b[256];
            const ssize_t n = ::read(out_, b, sizeof b);
            if (n <= 0) break;  // the peer ended
            seen.append(b, static_cast<size_t>(n));
            if (seen.find("ready\n") != std::string::npos) return true;
        }
        if (log) *log = seen;
        return false;
    }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        if (out_ >= 0) ::close(out_);
        out_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

}  // namespace tvx::testing
