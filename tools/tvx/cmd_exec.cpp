// tvx exec and term: the controller's command interpreter, one command or
// an interactive session.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "json_text.h"
#include "options.h"
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

uint64_t g_limitMs = kDefaultLimitMs;

void addLimit(CLI::App& app, const char* help) {
    addNumber(app, "--time", &g_limitMs, 1, kMaxLimitMs, "MS", help, "--time needs milliseconds from 1 to 600000");
}

void declareExec(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "COMMAND", Arity::many, "the command; several words are joined with blanks");
    addLimit(app, "longest wait for the controller to be ready or to answer (default 10000)");
}

void declareTerm(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addLimit(app, "longest silence of the controller before a command is given up (default 10000)");
}

TVX_COMMAND({"exec", "run one command on the controller and print its answer",
             "Sends COMMAND (several arguments are joined with blanks) to the controller's\n"
             "command interpreter and prints the answer.\n"
             "\n"
             "Exit status 1 when the call fails or the answer reports an error\n"
             "(a line \"ERROR <n>: ...\").\n"
             "With tvx --json: {\"answer\":\"...\",\"error\":true|false}.\n"
             "\n"
             "Example: tvx exec 127.0.0.21 '?1+2'\n",
             true, declareExec, runExec});
TVX_COMMAND({"term", "interactive terminal to the controller's command interpreter",
             "Reads command lines and prints each answer as it arrives. On a terminal:\n"
             "  Left/Right, Home/End     move in the line (also Ctrl-B/F, Ctrl-A/E)\n"
             "  Backspace, Delete        delete before / under the cursor\n"
             "  Up/Down                  recall earlier lines\n"
             "  Ctrl-U, Ctrl-K, Ctrl-W   delete to the start, to the end, the word before\n"
             "  Ctrl-C                   clear the line, or stop waiting for an answer\n"
             "  Ctrl-D or 'exit'         leave\n"
             "Otherwise each line of standard input runs in turn (for scripts).\n"
             "\n"
             "Exit status 1 when a command failed.\n",
             false, declareTerm, runTerm});

// True when a line of the answer is the interpreter's error report
// ("ERROR <n>: ..."): the command failed although the exchange succeeded.
bool answerReportsError(const std::string& answer) {
    for (size_t at = 0; at < answer.size(); at = answer.find('\n', at) + 1) {
        if (answer.compare(at, 6, "ERROR ") == 0) return true;
        if (answer.find('\n', at) == std::string::npos) break;
    }
    return false;
}

int runExec(const Invocation& inv) {
    const Command& self = *findCommand("exec");
    const uint32_t limitMs = static_cast<uint32_t>(g_limitMs);
    const size_t i = 0;
    std::string text;
    for (size_t k = i + 1; k < inv.args.size(); ++k) (text += k > i + 1 ? " " : "") += inv.args[k];

    Session s;
    if (int e = s.open(self, inv.args[i], inv.global)) return e;
    std::vector<char> answer(kAnswerRoom + 1, '\0');
    const int32_t r = TVX_Execute(s.handle(), text.c_str(), limitMs, answer.data(), kAnswerRoom);
    // What arrived is shown also when the rest did not fit or did not come.
    const std::string out(answer.data());
    if (inv.global.json) {
        std::printf("%s\n", jsonLine({{"answer", jsonText(out)}, {"error", answerReportsError(out)}}).c_str());
    } else {
        std::fputs(out.c_str(), stdout);
        if (!out.empty() && out.back() != '\n') std::fputc('\n', stdout);
    }
    if (r != TVX_OK) {
        std::fflush(stdout);
        return reportFailure("exec " + s.address(), r);
    }
    return answerReportsError(out) ? kExitFailure : kExitOk;
}

int runTerm(const Invocation& inv) {
    const Command& self = *findCommand("term");
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    return runTermSession(s.handle(), s.address(), static_cast<uint32_t>(g_limitMs));
}

}  // namespace
}  // namespace tvx::tool
