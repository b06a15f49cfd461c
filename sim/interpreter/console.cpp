#include "interpreter/console.h"

#include <algorithm>

namespace tvx::sim::interp {
namespace {

bool endsLine(char c) { return c == '\n' || c == '\r' || c == '\0'; }

}  // namespace

bool Console::running(uint32_t now) {
    pump(now);
    return running_;
}

void Console::pump(uint32_t now) {
    if (running_ && static_cast<uint32_t>(now - runStart_) >= settings_.commandDelayMs) running_ = false;
    size_t taken = 0;
    while (!running_ && taken < buffer_.size()) {
        const char c = buffer_[taken++];
        if (!endsLine(c)) {
            // One character past the limit is enough for the interpreter
            // to refuse the line as too long.
            if (line_.size() <= kMaxLineLength) line_ += c;
            continue;
        }
        if (line_.empty()) continue;
        std::string out;
        interpreter_.executeLine(line_, out);
        line_.clear();
        addAnswer(out);
        if (settings_.commandDelayMs > 0) {
            running_ = true;
            runStart_ = now;
        }
    }
    buffer_.erase(0, taken);
}

bool Console::bufferHoldsLine() const { return std::any_of(buffer_.begin(), buffer_.end(), endsLine); }

void Console::addAnswer(const std::string& text) {
    const size_t room = kMaxPendingAnswer - std::min(kMaxPendingAnswer, answer_.size());
    answer_.append(text, 0, std::min(room, text.size()));
}

int32_t Console::freeSpace(uint32_t now) {
    pump(now);
    const size_t capacity = settings_.bufferCapacity;
    return capacity > buffer_.size() ? static_cast<int32_t>(capacity - buffer_.size()) : 0;
}

bool Console::append(const uint8_t* bytes, size_t n, uint32_t now) {
    if (n > static_cast<size_t>(freeSpace(now))) return false;
    buffer_.append(reinterpret_cast<const char*>(bytes), n);
    pump(now);
    return true;
}

uint8_t Console::nextPiece(uint32_t now, size_t room, std::string& text) {
    pump(now);
    const size_t n = std::min({answer_.size(), room, static_cast<size_t>(std::max<uint32_t>(settings_.pieceBytes, 1))});
    text.assign(answer_, 0, n);
    answer_.erase(0, n);
    if (!answer_.empty()) return kStateMore;
    if (running_ || bufferHoldsLine()) return kStateRunning;
    return kStateDown;
}

ErrorKind Console::direct(const uint8_t* bytes, size_t n, std::string& answer) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), n);
    const std::string_view command = text.substr(0, text.find('\0'));
    ErrorKind first = ErrorKind::none;
    size_t start = 0;
    while (start <= command.size()) {
        size_t end = start;
        while (end < command.size() && !endsLine(command[end])) ++end;
        const std::string_view line = command.substr(start, end - start);
        if (!line.empty()) {
            const Error e = interpreter_.executeLine(line, answer);
            if (e && first == ErrorKind::none) first = e.kind;
        }
        start = end + 1;
    }
    return first;
}

}  // namespace tvx::sim::interp
