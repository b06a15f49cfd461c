// The controller's command console as the text requests see it: a command
// buffer of finite size that the interpreter drains line by line, and the
// answer text waiting to be fetched in pieces.
//
// A command takes `commandDelayMs` to finish once it starts. While it runs,
// later text waits in the buffer (so the free space shrinks) and an answer
// poll reports the running state; answer text printed by the command is
// available at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "interpreter/interpreter.h"

namespace tvx::sim::interp {

// Answer state of a poll: more text waits, the command is still running,
// or everything has finished.
inline constexpr uint8_t kStateMore = 0;
inline constexpr uint8_t kStateRunning = 1;
inline constexpr uint8_t kStateDown = 2;

// Answer text kept for fetching; older unfetched text is never dropped,
// newer text beyond this is.
inline constexpr size_t kMaxPendingAnswer = 65536;

struct ConsoleSettings {
    uint32_t bufferCapacity = 1024;  // bytes the command buffer holds
    uint32_t pieceBytes = 1024;      // most answer text handed out per poll
    uint32_t commandDelayMs = 0;     // time a command runs before it finishes
};

class Console {
public:
    ConsoleSettings& settings() { return settings_; }
    Interpreter& interpreter() { return interpreter_; }

    // Free bytes of the command buffer at tick `now` (request 3).
    int32_t freeSpace(uint32_t now);
    // Appends command text (request 2); false when it does not fit the free
    // space. Lines end at a line feed, a carriage return or a 0 byte.
    bool append(const uint8_t* bytes, size_t n, uint32_t now);
    // Hands out the next answer piece of at most `room` bytes (request 4)
    // and returns its state byte.
    uint8_t nextPiece(uint32_t now, size_t room, std::string& text);
    // Runs a direct command (request 5) at once, whatever runs meanwhile;
    // the text ends at its first 0 byte. Returns the first error kind.
    ErrorKind direct(const uint8_t* bytes, size_t n, std::string& answer);

    size_t pendingAnswer() const { return answer_.size(); }
    bool running(uint32_t now);

private:
    // Lets the interpreter take buffered lines while no command runs.
    void pump(uint32_t now);
    bool bufferHoldsLine() const;
    void addAnswer(const std::string& text);

    ConsoleSettings settings_;
    Interpreter interpreter_;
    std::string buffer_;  // received text not yet taken by the interpreter
    std::string line_;    // the line being assembled
    std::string answer_;  // answer text not yet fetched
    bool running_ = false;
    uint32_t runStart_ = 0;
};

}  // namespace tvx::sim::interp
