// tvx run, pause, resume and stop: the controller's program state.
#include <cstdio>
#include <string>

#include "command.h"
#include "json_text.h"
#include "options.h"
#include "session.h"
#include "tavrix.h"

namespace tvx::tool {
namespace {

int runControl(const Invocation& inv);

void declareRun(CLI::App& app, Invocation& inv) {
    addAddress(app, inv);
    addArgument(app, inv, "PROGRAM", Arity::optional, "a program of the current project");
}
void declareControl(CLI::App& app, Invocation& inv) { addAddress(app, inv); }

TVX_COMMAND({"run", "run the current project, or one of its programs",
             "Without PROGRAM the controller starts (or resumes) its current project;\n"
             "with it, the named program of that project starts on a free task.\n"
             "Prints the controller's run state afterwards; with tvx --json\n"
             "{\"state\":N,\"name\":\"stopped\"|\"running\"|\"paused\"[,\"pausedTask\":T]}.\n",
             true, declareRun, runControl});
TVX_COMMAND({"pause", "pause the running programs", "Prints the run state afterwards.\n", true, declareControl, runControl});
TVX_COMMAND({"resume", "resume paused programs", "Prints the run state afterwards.\n", true, declareControl, runControl});
TVX_COMMAND({"stop", "stop all programs", "Prints the run state afterwards.\n", true, declareControl, runControl});

}  // namespace

// The run state as the controller reports it (shared with tvx nar run).
void printRunState(TVX_HANDLE h, bool json) {
    uint8_t state = 0;
    uint8_t task = 0;
    if (TVX_GetState(h, &state) != TVX_OK) return;
    const char* name = state == 0 ? "stopped" : state == 1 ? "running" : state == 2 ? "paused" : "state";
    if (json) {
        Json o = {{"state", state}, {"name", name}};
        if (state == 2 && TVX_GetStopPauseTaskid(h, &task) == TVX_OK) o["pausedTask"] = task;
        std::printf("%s\n", jsonLine(o).c_str());
    } else if (state == 2 && TVX_GetStopPauseTaskid(h, &task) == TVX_OK)
        std::printf("%s (%u, first paused task %u)\n", name, state, task);
    else
        std::printf("%s (%u)\n", name, state);
}

namespace {

int runControl(const Invocation& inv) {
    const Command& self = *findCommand(inv.command);
    const bool run = inv.command == "run";
    Session s;
    if (int e = s.open(self, inv.args[0], inv.global)) return e;
    int32_t r;
    std::string what = std::string(inv.command) + " " + s.address();
    if (run && inv.args.size() == 2) {
        const std::string program(inv.args[1]);
        what += " " + program;
        r = TVX_RunNarFile(s.handle(), program.c_str());
    } else if (run || inv.command == "resume") {
        r = TVX_Resume(s.handle());
    } else if (inv.command == "pause") {
        r = TVX_Pause(s.handle());
    } else {
        r = TVX_Stop(s.handle());
    }
    if (r != TVX_OK) return reportFailure(what, r);
    printRunState(s.handle(), inv.global.json);
    return kExitOk;
}

}  // namespace
}  // namespace tvx::tool
