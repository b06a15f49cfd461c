// The file a protocol capture goes to: a regular file, or a pipe (a FIFO a
// live viewer reads). Writes never raise SIGPIPE in the host and never wait
// on a stalled reader longer than their time limit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

enum class OutputWrite : uint8_t {
    ok,
    timedOut,     // the reader took nothing for the whole time limit
    readerGone,   // a pipe whose reader closed it
    failed,       // any other error (a full disk, a closed file)
};

class CaptureOutput {
public:
    CaptureOutput() = default;
    ~CaptureOutput() { close(); }
    CaptureOutput(const CaptureOutput&) = delete;
    CaptureOutput& operator=(const CaptureOutput&) = delete;

    // Opens `path` for writing. An existing regular file whose first bytes
    // `keep(head, n)` accepts is appended to (`*appended` true); any other
    // regular file is truncated. A pipe is opened as it is (waiting for its
    // reader, as any writer does). False when it cannot be opened.
    bool open(const char* path, bool (*keep)(const uint8_t* head, size_t n), bool* appended);
    // Writes all `n` bytes, waiting at most `timeLimitMs` for a reader that
    // takes nothing.
    OutputWrite write(const uint8_t* bytes, size_t n, uint32_t timeLimitMs);
    bool valid() const { return handle_ != kNone; }
    void close();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

// The calling process's identifier, for file names.
uint32_t processId();

}  // namespace tvx::platform
