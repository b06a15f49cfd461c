#include "term_session.h"

#include <cstdio>
#include <string_view>

#include "answer_stream.h"
#include "command.h"
#include "line_input.h"
#include "session.h"
#include "terminal.h"

namespace tvx::tool {
namespace {

constexpr int kStdin = 0;
constexpr int kStdout = 1;
constexpr const char* kPrompt = ">> ";
constexpr size_t kMaxPlainLine = 64 * 1024;
constexpr int kIdleWaitMs = 10;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool isExit(std::string_view line) { return line == "exit" || line == "quit"; }

void put(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Runs one line and prints its answer; false when the session must end
// because the link is gone.
class LineRunner {
public:
    LineRunner(TVX_HANDLE h, const std::string& address, uint32_t limitMs) : h_(h), address_(address), limitMs_(limitMs) {}

    bool run(const std::string& line, const std::function<bool()>& idle) {
        bool lineOpen = false;  // the answer's last line lacks its line feed
        StreamHooks hooks{[&](std::string_view text) {
                              put(text);
                              lineOpen = text.back() != '\n';
                          },
                          idle};
        const int32_t r = streamCommand(h_, line, limitMs_, hooks);
        if (lineOpen) put("\n");
        if (r == kStreamStopped) {
            put("^C (the controller may still be running the command)\n");
            return true;
        }
        if (r == TVX_OK) return true;
        failed_ = true;
        reportFailure("term " + address_, r);
        return !linkLost(r);
    }
    bool failed() const { return failed_; }

private:
    TVX_HANDLE h_;
    const std::string& address_;
    uint32_t limitMs_;
    bool failed_ = false;
};

int plainSession(LineRunner& runner) {
    std::string line;
    while (readPlainLine(&line, kMaxPlainLine)) {
        const std::string_view command = trimmed(line);
        if (command.empty()) continue;
        if (isExit(command)) break;
        if (!runner.run(std::string(command), nullptr)) return kExitFailure;
    }
    return runner.failed() ? kExitFailure : kExitOk;
}

#if TVX_HAVE_LIBEDIT
int editedSession(LineRunner& runner, const std::string& address) {
    LineInput input(LineInput::defaultHistoryPath());
    if (!input.ok()) return plainSession(runner);
    put("Connected to " + address + ". Ctrl-D or 'exit' leaves; Ctrl-C clears the line; Ctrl-R searches the history.\n");
    std::string line;
    for (;;) {
        const LineInput::Outcome outcome = input.read(kPrompt, &line);
        if (outcome == LineInput::Outcome::ended) {
            put("\n");
            break;
        }
        if (outcome == LineInput::Outcome::cancelled) continue;
        const std::string command(trimmed(line));
        if (command.empty()) continue;
        input.remember(command);
        if (isExit(command)) break;
        // While the answer is awaited the keyboard is still read, raw:
        // Ctrl-C stops the wait, other keys wait for the next prompt.
        std::string typedAhead;
        RawTerminal raw;
        raw.enable(kStdin);
        const auto idle = [&] {
            const int key = readByte(kStdin, kIdleWaitMs);
            if (key == 0x03) return true;
            if (key > 0) typedAhead.push_back(static_cast<char>(key));
            return false;
        };
        const bool goOn = runner.run(command, idle);
        raw.restore();
        if (!goOn) return kExitFailure;
        input.typeAhead(typedAhead);
    }
    return runner.failed() ? kExitFailure : kExitOk;
}
#endif

}  // namespace

int runTermSession(TVX_HANDLE h, const std::string& address, uint32_t limitMs) {
    LineRunner runner(h, address, limitMs);
#if TVX_HAVE_LIBEDIT
    if (isTerminal(kStdin) && isTerminal(kStdout)) return editedSession(runner, address);
#endif
    return plainSession(runner);
}

}  // namespace tvx::tool
