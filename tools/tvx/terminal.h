// The few terminal operations tvx needs: whether a stream is a terminal,
// its width, raw key input for 'tvx term'. Raw input exists on POSIX
// systems only; elsewhere enableRaw() fails and callers read plain lines.
#pragma once

#include <cstddef>

namespace tvx::tool {

bool isTerminal(int fd);
// Columns of the terminal on `fd`; 80 when unknown.
size_t terminalColumns(int fd);

// Raw mode of the terminal on `fd` (no echo, no line buffering, no signal
// keys) for as long as the object lives; SIGTERM and SIGHUP restore the
// terminal before the process ends.
class RawTerminal {
public:
    RawTerminal() = default;
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool enable(int fd);
    void restore();
};

inline constexpr int kReadTimedOut = -1;
inline constexpr int kReadEnded = -2;  // end of input or a read error
// One byte from `fd`, waiting at most `timeoutMs` (negative: until one comes).
int readByte(int fd, int timeoutMs);

}  // namespace tvx::tool
