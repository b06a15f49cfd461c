// tvx exec and term: the controller's command interpreter, one command or
// an interactive session.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "session.h"
#include "tavrix.h"
#include "term_session.h"

namespace tvx::tool {
namespace {

constexpr uint32_t kDefaultLimitMs = 10000;
constexpr uint32_t kMaxLimitMs = 600000;
constexpr uint32_t kAnswerRoom = 1024 * 1024;

int runExec(const Invocation& inv);
int runTerm(const Invocation& inv);

TVX_COMMAND({"exec", "[--time MS] ADDRESS COMMAND...", "run one command on the controller and print its answer",
             "Sends COMMAND (several arguments are joined with blanks) to the controller's\n"
             "command interpreter and prints the answer.\n"
             "\n"
             "  --time MS   longest wait for the controller to be ready or to answer\n"
             "              (default 10000)\n"
             "\n"
             "Exit status 1 when the call fails or the answer reports an error\n"
             "(a line \"ERROR <n>: ...\").\n"
             "\n"
             "Example: tvx exec 127.0.0.21 '?1+2'\n",
             runExec});
TVX_COMMAND({"term", "[--time MS] ADDRESS", "interactive terminal to the controller's command interpreter",
             "Reads command lines and prints each answer as it arrives. On a terminal:\n"
             "  Left/Right, Home/End     move in the line (also Ctrl-B/F, Ctrl-A/E)\n"
             "  Backspace, Delete        delete before / under the cursor\n"
             "  Up/Down                  recall earlier lines\n"
             "  Ctrl-U, Ctrl-K, Ctrl-W   delete to the start, to the end, the word before\n"
             "  Ctrl-C                   clear the line, or stop waiting for an answer\n"
             "  Ctrl-D or 'exit'         leave\n"
             "Otherwise each line of standard input runs in turn (for scripts).\n"
             "\n"
             "  --time MS   longest silence of the controller before a command is given up\n"
             "              (default 10000)\n"
             "\n"
             "Exit status 1 when a command failed.\n",
             runTerm});

// True when a line of the answer is the interpreter's error report
// ("ERROR <n>: ..."): the command failed although the exchange succeeded.
bool answerReportsError(const std::string& answer) {
    for (size_t at = 0; at < answer.size(); at = answer.find('\n', at) + 1) {
        if (answer.compare(at, 6, "ERROR ") == 0) return true;
        if (answer.find('\n', at) == std::string::npos) break;
    }
    return false;
}

// Leading "--time MS"; `next` is the index of the first other argument.
int takeLimit(const Command& self, const Invocation& inv, uint32_t* limitMs, size_t* next) {
    *limitMs = kDefaultLimitMs;
    size_t i = 0;
    std::string_view value;
    bool missing = false;
    uint64_t n;
    while (i < inv.args.size() && takeOption(inv.args, i, "--time", &value, &missing)) {
        if (missing || !parseUnsigned(value, kMaxLimitMs, &n) || n == 0)
            return usageError(self, "--time needs milliseconds from 1 to 600000");
        *limitMs = static_cast<uint32_t>(n);
    }
    *next = i;
    return kExitOk;
}

int runExec(const Invocation& inv) {
    const Command& self = *findCommand("exec");
    uint32_t limitMs;
    size_t i;
    if (int e = takeLimit(self, inv, &limitMs, &i)) return e;
    if (i >= inv.args.size()) return usageError(self, "missing ADDRESS");
    if (i + 1 >= inv.args.size()) return usageError(self, "missing COMMAND");
    std::string text;
    for (size_t k = i + 1; k < inv.args.size(); ++k) (text += k > i + 1 ? " " : "") += inv.args[k];

    Session s;
    if (int e = s.open(self, inv.args[i], inv.global)) return e;
    std::vector<char> answer(kAnswerRoom + 1, '\0');
    const int32_t r = TVX_Execute(s.handle(), text.c_str(), limitMs, answer.data(), kAnswerRoom);
    // What arrived is shown also when the rest did not fit or did not come.
    const std::string out(answer.data());
    std::fputs(out.c_str(), stdout);
    if (!out.empty() && out.back() != '\n') std::fputc('\n', stdout);
    if (r != TVX_OK) {
        std::fflush(stdout);
        return reportFailure("exec " + s.address(), r);
    }
    return answerReportsError(out) ? kExitFailure : kExitOk;
}

int runTerm(const Invocation& inv) {
    const Command& self = *findCommand("term");
    uint32_t limitMs;
    size_t i;
    if (int e = takeLimit(self, inv, &limitMs, &i)) return e;
    if (i >= inv.args.size()) return usageError(self, "missing ADDRESS");
    if (i + 1 < inv.args.size()) return usageError(self, "too many arguments");
    Session s;
    if (int e = s.open(self, inv.args[i], inv.global)) return e;
    return runTermSession(s.handle(), s.address(), limitMs);
}

}  // namespace
}  // namespace tvx::tool
