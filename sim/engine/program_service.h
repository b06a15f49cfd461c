// The simulated controller's programs at run time: every task the run
// requests start on a BASIC file of the file store runs that file, a few
// lines before each request the controller acts on. PRINT output goes to
// the message queue the host drains (request 330). The debugger holds a
// task at a breakpoint (331 to 333), single-steps it (300), lets it go on
// (300, 301), and shows its locals (313) and what a name is (309). While a
// task is held, command lines from the host see its locals, so `?count` and
// `count = 5` read and change them.
//
// The debugger requests, as this controller reads them:
//   300 StepRun: first = task; second = 0 run one line and hold again
//       (a running task is held where it is), 1 go on; the rest unused.
//   313 EnumLocal: selector = task, subSelector unused, index = local;
//       reply i32 local count, the value as an 8-byte double, the name.
//   309 GetStringType: selector = task (its locals count), then the name;
//       reply u16 type (see NameType), i32 element count, the value as an
//       8-byte double for scalars.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/model.h"
#include "engine/service.h"
#include "interpreter/program.h"

namespace tvx::sim {

// Type codes of request 309.
enum class NameType : uint16_t {
    unknown = 0,
    globalScalar = 1,
    globalArray = 2,
    local = 3,
    systemArray = 4,  // VR, TABLE
    axisParameter = 5,
    keyword = 6,
};

struct ProgramSettings {
    uint32_t linesPerAdvance = 32;     // lines each running task runs per request
    size_t messageCapacity = 65536;    // a task whose output finds the queue this full waits
};

class ProgramService : public Service {
public:
    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = ProgramService{}; }
    void advance(Controller& controller) override;

    ProgramSettings& settings() { return settings_; }
    const std::string& messages() const { return messages_; }
    // The program running in `task`, or null.
    const interp::ProgramTask* program(int task) const;
    bool held(int task) const;

private:
    struct Breakpoint {
        std::string file;  // upper case
        uint32_t line = 0;
        uint8_t option = 0;
    };
    struct TaskRun {
        std::unique_ptr<interp::ProgramTask> program;
        bool held = false;
        // Set when a held task goes on: the line it was held at runs
        // without stopping at its breakpoint again.
        bool passBreakpoint = false;
    };

    void startIfNamed(Controller& c, int task);
    void runLines(Controller& c, int task, uint32_t budget);
    // Runs one line of a task; false when the task ended (or failed).
    bool stepOnce(Controller& c, int task);
    void hold(ControllerModel& m, int task);
    void release(ControllerModel& m, int task);
    void finish(ControllerModel& m, int task);
    bool breakpointAt(const std::string& file, uint32_t line) const;
    void settleRunState(ControllerModel& m) const;
    void refreshHostLocals(Controller& c);

    int32_t stepRun(Controller& c, const uint8_t* args, size_t n);
    int32_t cancelOnline(Controller& c);
    int32_t breakpointRequest(uint16_t command, const uint8_t* args, size_t n);
    int32_t enumLocal(const uint8_t* args, size_t n, Reply& reply);
    int32_t stringType(Controller& c, const uint8_t* args, size_t n, Reply& reply);
    void messagePiece(size_t room, Reply& reply);

    ProgramSettings settings_;
    std::array<TaskRun, kTasks> runs_{};
    std::vector<Breakpoint> breakpoints_;
    std::string messages_;
};

}  // namespace tvx::sim
