#include "engine/program_service.h"

#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"
#include "channel/request_codes.h"
#include "engine/controller.h"
#include "interpreter/lexer.h"

namespace tvx::sim {
namespace {

// Status of a request the debugger cannot act on now, or whose arguments
// name nothing it knows.
inline constexpr int32_t kStatusState = 3204;
inline constexpr uint8_t kStepLine = 0;
inline constexpr uint8_t kStepGoOn = 1;
inline constexpr size_t kMaxBreakpoints = 1024;

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && equalsNoCase(s.c_str() + s.size() - n, suffix);
}

// A NUL-terminated name inside the arguments from `offset`; false when it
// has no terminator there or is empty.
bool nameAt(const uint8_t* args, size_t n, size_t offset, std::string& name) {
    if (offset >= n) return false;
    const char* p = reinterpret_cast<const char*>(args + offset);
    const size_t length = strnlen(p, n - offset);
    if (length == n - offset || length == 0) return false;
    name.assign(p, length);
    return true;
}

void putDouble(Reply& reply, double v) {
    uint8_t bytes[8];
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    reply.bytes(bytes, sizeof bytes);
}

}  // namespace

bool ProgramService::serves(uint16_t command) const {
    switch (command) {
        case req::stepRun:
        case req::cancelOnline:
        case req::stringType:
        case req::enumLocal:
        case req::readMessage:
        case req::breakAdd:
        case req::breakDelete:
        case req::breakClear:
            return true;
        default:
            return false;
    }
}

const interp::ProgramTask* ProgramService::program(int task) const {
    return task >= 0 && task < kTasks ? runs_[static_cast<size_t>(task)].program.get() : nullptr;
}

bool ProgramService::held(int task) const {
    return task >= 0 && task < kTasks && runs_[static_cast<size_t>(task)].held;
}

void ProgramService::advance(Controller& c) {
    ControllerModel& m = c.model();
    for (int t = 0; t < kTasks; ++t) {
        TaskState& ts = m.tasks[static_cast<size_t>(t)];
        TaskRun& run = runs_[static_cast<size_t>(t)];
        if (ts.state == kRunStopped) {
            run = TaskRun{};
            continue;
        }
        if (ts.state != kRunRunning) continue;  // paused by the host, or held here
        if (run.held) {
            // The host resumed a task held by the debugger.
            run.held = false;
            run.passBreakpoint = true;
            ts.second = 0;
        }
        startIfNamed(c, t);
        if (run.program) runLines(c, t, settings_.linesPerAdvance);
    }
    refreshHostLocals(c);
}

void ProgramService::startIfNamed(Controller& c, int task) {
    ControllerModel& m = c.model();
    TaskState& ts = m.tasks[static_cast<size_t>(task)];
    TaskRun& run = runs_[static_cast<size_t>(task)];
    if (run.program && equalsNoCase(run.program->file().c_str(), ts.text.c_str())) return;
    run = TaskRun{};
    // Only BASIC files of the store run here; other programs (those inside
    // an archive) keep the task running without doing anything.
    if (!endsWithNoCase(ts.text, ".bas")) return;
    for (const auto& [name, content] : c.transfers().files().files()) {
        if (!equalsNoCase(name.c_str(), ts.text.c_str())) continue;
        interp::Program parsed;
        const std::string_view source(reinterpret_cast<const char*>(content->data()), content->size());
        if (const interp::Error e = interp::Program::parse(source, parsed)) {
            messages_ += name + ": " + interp::errorLine(e);
            ts.state = kRunStopped;
            settleRunState(m);
            return;
        }
        run.program = std::make_unique<interp::ProgramTask>(name, std::move(parsed));
        ts.value = static_cast<int32_t>(run.program->lineNumber());
        return;
    }
}

void ProgramService::runLines(Controller& c, int task, uint32_t budget) {
    ControllerModel& m = c.model();
    TaskRun& run = runs_[static_cast<size_t>(task)];
    for (uint32_t i = 0; i < budget && run.program; ++i) {
        // A full queue holds the task back until the host drains it.
        if (messages_.size() >= settings_.messageCapacity) break;
        if (!run.passBreakpoint && breakpointAt(run.program->file(), run.program->lineNumber())) {
            hold(m, task);
            return;
        }
        if (!stepOnce(c, task)) return;
    }
}

bool ProgramService::stepOnce(Controller& c, int task) {
    ControllerModel& m = c.model();
    TaskRun& run = runs_[static_cast<size_t>(task)];
    run.passBreakpoint = false;
    const interp::StepOutcome outcome = run.program->step(c.console().interpreter(), messages_);
    if (outcome != interp::StepOutcome::ran) {
        if (outcome == interp::StepOutcome::failed) m.errorCode = kStatusState;
        finish(m, task);
        return false;
    }
    m.tasks[static_cast<size_t>(task)].value = static_cast<int32_t>(run.program->lineNumber());
    return true;
}

void ProgramService::hold(ControllerModel& m, int task) {
    TaskState& ts = m.tasks[static_cast<size_t>(task)];
    TaskRun& run = runs_[static_cast<size_t>(task)];
    run.held = true;
    ts.state = kRunPaused;
    ts.second = 1;
    ts.value = static_cast<int32_t>(run.program->lineNumber());
    m.stoppedTask = static_cast<uint8_t>(task);
    settleRunState(m);
}

void ProgramService::release(ControllerModel& m, int task) {
    TaskState& ts = m.tasks[static_cast<size_t>(task)];
    TaskRun& run = runs_[static_cast<size_t>(task)];
    run.held = false;
    run.passBreakpoint = true;
    ts.state = kRunRunning;
    ts.second = 0;
    settleRunState(m);
}

void ProgramService::finish(ControllerModel& m, int task) {
    TaskState& ts = m.tasks[static_cast<size_t>(task)];
    runs_[static_cast<size_t>(task)] = TaskRun{};
    ts.state = kRunStopped;
    ts.second = 0;
    ts.value = 0;
    settleRunState(m);
}

// The controller runs while any task runs, is paused while any is held or
// paused, and stops with the last task.
void ProgramService::settleRunState(ControllerModel& m) const {
    bool running = false, paused = false;
    for (const TaskState& t : m.tasks) {
        running = running || t.state == kRunRunning;
        paused = paused || t.state == kRunPaused;
    }
    m.runState = running ? kRunRunning : paused ? kRunPaused : kRunStopped;
}

bool ProgramService::breakpointAt(const std::string& file, uint32_t line) const {
    for (const Breakpoint& b : breakpoints_)
        if (b.line == line && equalsNoCase(b.file.c_str(), file.c_str())) return true;
    return false;
}

void ProgramService::refreshHostLocals(Controller& c) {
    // The host sees the locals of the task the debugger holds, the one it
    // held last first.
    interp::Interpreter& in = c.console().interpreter();
    interp::Locals* locals = nullptr;
    const int last = c.model().stoppedTask;
    if (held(last)) {
        locals = &runs_[static_cast<size_t>(last)].program->locals();
    } else {
        for (TaskRun& run : runs_)
            if (run.held && !locals) locals = &run.program->locals();
    }
    in.setHostLocals(locals);
}

void ProgramService::serve(ServiceRequest& r) {
    Controller& c = r.controller;
    int32_t status = 0;
    switch (r.command) {
        case req::stepRun: status = stepRun(c, r.args, r.n); break;
        case req::cancelOnline: status = cancelOnline(c); break;
        case req::breakAdd:
        case req::breakDelete:
        case req::breakClear: status = breakpointRequest(r.command, r.args, r.n); break;
        case req::enumLocal: status = enumLocal(r.args, r.n, r.reply); break;
        case req::stringType: status = stringType(c, r.args, r.n, r.reply); break;
        case req::readMessage: messagePiece(r.room, r.reply); break;
        default: status = kStatusState; break;
    }
    r.reply.status(status);
    refreshHostLocals(c);
}

int32_t ProgramService::stepRun(Controller& c, const uint8_t* args, size_t n) {
    if (n < 3) return kStatusState;
    const uint16_t task = getU16(args);
    const uint8_t action = args[2];
    if (task >= kTasks || !runs_[task].program || (action != kStepLine && action != kStepGoOn)) return kStatusState;
    ControllerModel& m = c.model();
    TaskRun& run = runs_[task];
    if (action == kStepGoOn) {
        if (run.held) release(m, task);
        return 0;
    }
    if (m.tasks[task].state != kRunPaused || !run.held) {
        // A step on a task that runs breaks in where it is.
        if (m.tasks[task].state == kRunRunning) hold(m, task);
        else return kStatusState;
        return 0;
    }
    // One line, then on over blank lines to the next statement.
    if (!stepOnce(c, task)) return 0;
    while (run.program && !run.program->atStatement() && !run.program->finished())
        if (!stepOnce(c, task)) return 0;
    if (run.program) hold(m, task);
    return 0;
}

int32_t ProgramService::cancelOnline(Controller& c) {
    breakpoints_.clear();
    for (int t = 0; t < kTasks; ++t)
        if (runs_[static_cast<size_t>(t)].held) release(c.model(), t);
    return 0;
}

int32_t ProgramService::breakpointRequest(uint16_t command, const uint8_t* args, size_t n) {
    if (command == req::breakClear) {
        breakpoints_.clear();
        return 0;
    }
    const size_t nameOffset = command == req::breakAdd ? 5 : 4;
    std::string file;
    if (n < nameOffset || !nameAt(args, n, nameOffset, file)) return kStatusState;
    const uint32_t line = getU32(args);
    auto same = [&](const Breakpoint& b) { return b.line == line && equalsNoCase(b.file.c_str(), file.c_str()); };
    const auto found = std::find_if(breakpoints_.begin(), breakpoints_.end(), same);
    if (command == req::breakDelete) {
        if (found == breakpoints_.end()) return kStatusState;
        breakpoints_.erase(found);
        return 0;
    }
    if (found != breakpoints_.end()) {
        found->option = args[4];
        return 0;
    }
    if (breakpoints_.size() >= kMaxBreakpoints) return kStatusState;
    breakpoints_.push_back(Breakpoint{file, line, args[4]});
    return 0;
}

int32_t ProgramService::enumLocal(const uint8_t* args, size_t n, Reply& reply) {
    if (n < 8) return kStatusState;
    const int32_t task = getI32(args);
    const uint16_t index = getU16(args + 6);
    if (!held(task)) return kStatusState;
    const interp::Locals& locals = runs_[static_cast<size_t>(task)].program->locals();
    if (index >= locals.size()) return kStatusState;
    reply.u32(static_cast<uint32_t>(locals.size()));
    putDouble(reply, locals[index].second);
    reply.bytes(locals[index].first.c_str(), locals[index].first.size() + 1);
    return 0;
}

int32_t ProgramService::stringType(Controller& c, const uint8_t* args, size_t n, Reply& reply) {
    std::string raw;
    if (n < 3 || !nameAt(args, n, 2, raw)) return kStatusState;
    const int task = getU16(args);
    const std::string name = interp::upper(raw);
    interp::Variables& vars = c.console().interpreter().variables();
    NameType type = NameType::unknown;
    uint32_t elements = 0;
    double value = 0;
    if (held(task) || program(task)) {
        for (const auto& local : runs_[static_cast<size_t>(task)].program->locals()) {
            if (local.first != name) continue;
            type = NameType::local;
            elements = 1;
            value = local.second;
        }
    }
    if (type == NameType::unknown) {
        if (name == "VR" || name == "TABLE") {
            type = NameType::systemArray;
            elements = static_cast<uint32_t>(name == "VR" ? vars.vr().size() : vars.table().size());
        } else if (interp::findAxisParam(name)) {
            type = NameType::axisParameter;
            elements = static_cast<uint32_t>(vars.axisCount());
        } else if (const interp::Named* named = vars.find(name)) {
            type = named->isArray ? NameType::globalArray : NameType::globalScalar;
            elements = static_cast<uint32_t>(named->values.size());
            if (!named->isArray) value = named->values[0];
        } else if (interp::isReservedWord(name)) {
            type = NameType::keyword;
        }
    }
    reply.u16(static_cast<uint16_t>(type));
    reply.u16(0);
    reply.u32(elements);
    putDouble(reply, value);
    return 0;
}

void ProgramService::messagePiece(size_t room, Reply& reply) {
    // A flag byte, then as much text as the reply carries: 0 while more
    // waits, 1 when this piece empties the queue.
    const size_t text = std::min(messages_.size(), room > 0 ? room - 1 : 0);
    const bool more = text < messages_.size();
    reply.u8(more ? 0 : 1);
    reply.bytes(messages_.data(), text);
    messages_.erase(0, text);
}

}  // namespace tvx::sim
