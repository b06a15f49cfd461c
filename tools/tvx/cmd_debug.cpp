// tvx messages and debug: the controller's print output, and a small
// debugging session on one program file (breakpoints, steps, locals).
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "args.h"
#include "command.h"
#include "options.h"
#include "line_input.h"
#include "session.h"
#include "tavrix.h"
#include "terminal.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kDrainRoom = 64 * 1024;
constexpr int kFollowPauseMs = 200;
constexpr uint32_t kTasks = 22;
constexpr uint32_t kAnswerWaitMs = 5000;
constexpr size_t kMaxLine = 4096;
// Arguments of the controller's step request.
constexpr uint32_t kStepLine = 0;
constexpr uint32_t kStepGoOn = 1;
constexpr uint8_t kTaskStopped = 0;
constexpr uint8_t kTaskRunning = 1;

int runMessages(const Invocation& inv);
int runDebug(const Invocation& inv);

bool g_follow = false;

void declareMessages(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addFlag(app, "-f,--follow", &g_follow, "keep following new output until interrupted");
}
void declareDebug(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "FILE", Arity::one, "the controller's program file");
}

TVX_COMMAND({"messages", "print the controller's message output",
             "Drains what the controller's programs printed and writes it to standard\n"
             "output. With -f keeps following new output until interrupted.\n",
             false, declareMessages, runMessages});
TVX_COMMAND({"debug", "debug a program file of the controller",
             "Reads commands, one per line (a prompt on a terminal):\n"
             "  run                 start FILE on a free task\n"
             "  break LINE          stop FILE before LINE     delete LINE   clear\n"
             "  step                run one line of the held task and hold it again\n"
             "  go                  let the held task go on\n"
             "  where               the task's state and line\n"
             "  locals              the held task's local variables\n"
             "  ? EXPRESSION        print a value (locals of a held task included)\n"
             "  let NAME = VALUE    set a variable (locals of a held task included)\n"
             "  stop                stop all programs\n"
             "  quit                leave (also end of input); breakpoints are cleared\n"
             "After each command the program's new output is printed.\n",
             false, declareDebug, runDebug});

// Prints everything waiting; false with the failure reported.
bool drain(TVX_HANDLE h, const std::string& what, std::vector<char>& buffer, int* exitCode) {
    for (;;) {
        uint32_t got = 0;
        const int32_t r = TVX_ReadMessage(h, buffer.data(), static_cast<uint32_t>(buffer.size()), &got);
        if (got) std::fwrite(buffer.data(), 1, got, stdout);
        std::fflush(stdout);
        if (r != TVX_OK) {
            *exitCode = reportFailure(what, r);
            return false;
        }
        if (got == 0) return true;
    }
}

int runMessages(const Invocation& inv) {
    const Command& self = *findCommand("messages");
    const bool follow = g_follow;
    const std::string& address = inv.args[0];
    Session s;
    if (int e = s.open(self, address, inv.global)) return e;
    std::vector<char> buffer(kDrainRoom);
    int exitCode = kExitOk;
    const std::string what = "messages " + s.address();
    do {
        if (!drain(s.handle(), what, buffer, &exitCode)) return exitCode;
        if (follow) std::this_thread::sleep_for(std::chrono::milliseconds(kFollowPauseMs));
    } while (follow);
    return kExitOk;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}


class DebugSession {
public:
    DebugSession(TVX_HANDLE h, std::string address, std::string file)
        : h_(h), address_(std::move(address)), file_(std::move(file)), buffer_(kDrainRoom) {}

    // Runs one command line; false when the session ends.
    bool command(std::string_view line);
    int exitCode() const { return failed_ ? kExitFailure : kExitOk; }

private:
    bool check(const std::string& what, int32_t r) {
        if (r == TVX_OK) return true;
        failed_ = true;
        reportFailure(what + " " + address_, r);
        return false;
    }
    // The task running FILE, or -1.
    int findTask(uint8_t* stateOut, uint8_t* heldOut, int32_t* lineOut);
    void where();
    void locals(int task);
    void textCommand(const std::string& text);
    bool lineNumber(std::string_view text, uint32_t* line);

    TVX_HANDLE h_;
    std::string address_;
    std::string file_;
    std::vector<char> buffer_;
    bool failed_ = false;
};

int DebugSession::findTask(uint8_t* stateOut, uint8_t* heldOut, int32_t* lineOut) {
    for (uint32_t t = 0; t < kTasks; ++t) {
        uint8_t state = 0, second = 0;
        int32_t line = 0;
        char text[32] = {};
        if (TVX_GetTaskState(h_, t, &state, &second, nullptr, &line, text) != TVX_OK) return -1;
        text[sizeof text - 1] = 0;
        if (state == kTaskStopped || !equalsIgnoringCase(text, file_)) continue;
        *stateOut = state;
        *heldOut = second;
        *lineOut = line;
        return static_cast<int>(t);
    }
    return -1;
}

void DebugSession::where() {
    uint8_t state = 0, held = 0;
    int32_t line = 0;
    const int task = findTask(&state, &held, &line);
    if (task < 0) {
        std::printf("%s is not running\n", file_.c_str());
        return;
    }
    const char* what = held ? "held at" : state == kTaskRunning ? "running at" : "paused at";
    std::printf("task %d %s %s:%d\n", task, what, file_.c_str(), line);
}

void DebugSession::locals(int task) {
    for (uint32_t i = 0;; ++i) {
        int32_t count = 0;
        uint8_t value[8];
        char name[2048];
        if (TVX_EnumLocal(h_, task, 0, i, &count, value, name) != TVX_OK || i >= static_cast<uint32_t>(count)) {
            if (i == 0) std::printf("no locals\n");
            return;
        }
        // This controller sends the value as a little-endian double.
        uint64_t bits = 0;
        for (int b = 7; b >= 0; --b) bits = (bits << 8) | value[b];
        double v;
        std::memcpy(&v, &bits, sizeof v);
        std::printf("%s = %.9g\n", name, v);
    }
}

void DebugSession::textCommand(const std::string& text) {
    std::vector<char> answer(64 * 1024);
    const int32_t r = TVX_Execute(h_, (text + "\n").c_str(), kAnswerWaitMs, answer.data(),
                                  static_cast<uint32_t>(answer.size() - 1));
    std::fputs(answer.data(), stdout);
    check("debug", r);
}

bool DebugSession::lineNumber(std::string_view text, uint32_t* line) {
    uint64_t n = 0;
    if (!parseUnsigned(trimmed(text), 0x7FFFFFFF, &n) || n == 0) {
        std::printf("a line number from 1 is needed\n");
        return false;
    }
    *line = static_cast<uint32_t>(n);
    return true;
}

bool DebugSession::command(std::string_view line) {
    line = trimmed(line);
    const size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    const std::string_view rest = space == std::string_view::npos ? std::string_view() : trimmed(line.substr(space + 1));
    uint8_t state = 0, held = 0;
    int32_t at = 0;
    uint32_t n = 0;
    if (word.empty()) {
    } else if (word == "quit" || word == "exit") {
        return false;
    } else if (word == "run") {
        check("run", TVX_RunNarFile(h_, file_.c_str()));
    } else if (word == "break" || word == "delete") {
        if (lineNumber(rest, &n))
            check(std::string(word), word == "break" ? TVX_BreakAdd(h_, file_.c_str(), n, 0)
                                                     : TVX_BreakDel(h_, file_.c_str(), n));
    } else if (word == "clear") {
        check("clear", TVX_BreakClear(h_));
    } else if (word == "step" || word == "go") {
        const int task = findTask(&state, &held, &at);
        if (task < 0) std::printf("%s is not running\n", file_.c_str());
        else check(std::string(word), TVX_StepRun(h_, static_cast<uint32_t>(task), word == "step" ? kStepLine : kStepGoOn, 0, 0, 0));
    } else if (word == "where") {
    } else if (word == "locals") {
        const int task = findTask(&state, &held, &at);
        if (task < 0 || !held) std::printf("no task of %s is held\n", file_.c_str());
        else locals(task);
    } else if (word == "?" || line.front() == '?') {
        textCommand("?" + std::string(trimmed(line.substr(1))));
    } else if (word == "let") {
        textCommand(std::string(rest));
    } else if (word == "stop") {
        check("stop", TVX_Stop(h_));
    } else {
        std::printf("unknown command '%.*s' (see tvx debug --help)\n", static_cast<int>(word.size()), word.data());
        return true;
    }
    int code = kExitOk;
    if (!drain(h_, "debug " + address_, buffer_, &code)) failed_ = true;
    if (!word.empty() && word != "quit") where();
    return true;
}

int runDebug(const Invocation& inv) {
    const Command& self = *findCommand("debug");
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    DebugSession debug(s.handle(), s.address(), std::string(inv.args[1]));
    const bool prompt = isTerminal(0);
    std::string line;
    for (;;) {
        if (prompt) {
            std::fputs("debug> ", stdout);
            std::fflush(stdout);
        }
        if (!readPlainLine(&line, kMaxLine) || !debug.command(line)) break;
    }
    // Breakpoints of this session go with it.
    TVX_BreakClear(s.handle());
    return debug.exitCode();
}

}  // namespace
}  // namespace tvx::tool
