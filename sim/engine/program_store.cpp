#include "engine/program_store.h"

#include <cstring>

#include "base/ascii.h"
#include "packaging/path_text.h"
#include "packaging/project_record.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kNotReady = 3204;     // nothing loaded to run
inline constexpr int32_t kNoProgram = 20014;   // no program of that name

bool runnable(uint8_t type) { return type == file_type::basic || type == file_type::plc || type == file_type::cnc; }

std::string entryName(const uint8_t* entry) {
    const char* p = reinterpret_cast<const char*>(entry);
    return std::string(p, strnlen(p, kEntryNameField));
}

}  // namespace

std::string ProgramStore::storedName(uint16_t code, const std::string& name) {
    if (!name.empty()) return name;
    return code == req::archiveRamRun ? "ram.nar" : "program.nar";
}

int32_t ProgramStore::accept(uint16_t code, const std::string& name, const Bytes& data, FileStore& files,
                             ControllerModel* model) {
    last_ = checkArchive(data, code != req::archiveNamedDownload);
    if (last_.status != 0) return last_.status;
    const std::string stored = storedName(code, name);
    if (!files.fits(stored, data.size())) return kStatusStoreFull;
    if (!files.put(stored, data)) return kArchiveRefused;
    if (code == req::archiveNamedDownload) return 0;
    project_ = last_.project;
    if (code == req::archiveRamRun && model) {
        request(req::stop, nullptr, 0, model);
        return resume(*model);
    }
    return 0;
}

int32_t ProgramStore::start(ControllerModel& m, const std::string& program, uint8_t task) {
    if (task >= kTasks) return kNotReady;
    m.tasks[task].state = kRunRunning;
    m.tasks[task].text = program;
    m.runState = kRunRunning;
    return 0;
}

// Paused tasks go on; otherwise the project starts: every program with an
// auto-run task, or the first runnable program on task 0.
int32_t ProgramStore::resume(ControllerModel& m) {
    bool resumed = false;
    for (TaskState& t : m.tasks) {
        if (t.state == kRunPaused) {
            t.state = kRunRunning;
            resumed = true;
        }
    }
    if (resumed || m.runState == kRunRunning) {
        m.runState = kRunRunning;
        return 0;
    }
    if (project_.size() < kProjectHeaderBytes) return kNotReady;
    const uint32_t count = static_cast<uint32_t>((project_.size() - kProjectHeaderBytes) / kProjectEntryBytes);
    bool started = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = projectEntry(project_.data(), i);
        const uint8_t autoRun = e[project_record::entryAutoRun];
        if (runnable(e[project_record::entryType]) && autoRun < kTasks) started |= start(m, entryName(e), autoRun) == 0;
    }
    for (uint32_t i = 0; i < count && !started; ++i) {
        const uint8_t* e = projectEntry(project_.data(), i);
        if (runnable(e[project_record::entryType])) started = start(m, entryName(e), 0) == 0;
    }
    return started ? 0 : kNotReady;
}

int32_t ProgramStore::request(uint16_t code, const uint8_t* args, size_t n, ControllerModel* model,
                              const FileStore* files) {
    if (model == nullptr) return kNotReady;
    ControllerModel& m = *model;
    if (code == req::stop) {
        for (TaskState& t : m.tasks) t.state = kRunStopped;
        m.runState = kRunStopped;
        return 0;
    }
    if (code == req::pause) {
        bool paused = false;
        for (size_t i = 0; i < m.tasks.size(); ++i) {
            if (m.tasks[i].state == kRunRunning) {
                m.tasks[i].state = kRunPaused;
                if (!paused) m.stoppedTask = static_cast<uint8_t>(i);
                paused = true;
            }
        }
        if (paused) m.runState = kRunPaused;
        return 0;
    }
    if (n == 0) return resume(m);
    // Run one program of the current project by name, on the first idle task.
    const std::string wanted(reinterpret_cast<const char*>(args), n);
    const uint32_t count = project_.size() < kProjectHeaderBytes
                               ? 0
                               : static_cast<uint32_t>((project_.size() - kProjectHeaderBytes) / kProjectEntryBytes);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = projectEntry(project_.data(), i);
        const std::string name = entryName(e);
        if (!runnable(e[project_record::entryType]) || !equalsNoCase(name.c_str(), wanted.c_str())) continue;
        for (uint8_t t = 0; t < kTasks; ++t)
            if (m.tasks[t].state == kRunStopped) return start(m, name, t);
        return kNotReady;
    }
    // A BASIC file of the store runs on its own, outside any project.
    const std::string bas = ".bas";
    if (files && wanted.size() > bas.size() && equalsNoCase(wanted.c_str() + wanted.size() - bas.size(), bas.c_str())) {
        for (const auto& [name, content] : files->files()) {
            if (!equalsNoCase(name.c_str(), wanted.c_str())) continue;
            for (uint8_t t = 0; t < kTasks; ++t)
                if (m.tasks[t].state == kRunStopped) return start(m, name, t);
            return kNotReady;
        }
    }
    return kNoProgram;
}

}  // namespace tvx::sim
