// The programs the simulated controller holds: archives accepted from
// downloads, the current project, and the run, pause, resume and stop
// requests acting on the task states of the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive_check.h"
#include "engine/file_store.h"
#include "engine/model.h"
#include "channel/request_codes.h"

namespace tvx::sim {


class ProgramStore {
public:
    using Bytes = std::vector<uint8_t>;

    static bool isArchiveDownload(uint16_t code) {
        return code == req::archiveDownload || code == req::archiveRamRun || code == req::archiveNamedDownload;
    }
    static bool isRunRequest(uint16_t code) {
        return code == req::run || code == req::pause || code == req::stop;
    }

    // The file an archive download is kept under: its name, or a name of
    // its code when it came without one.
    static std::string storedName(uint16_t code, const std::string& name);

    // Checks a completed archive download and keeps it: in the file store
    // (under `name`, or a name of its code), as the current project (100,
    // 102), and running (102). Returns the controller status.
    int32_t accept(uint16_t code, const std::string& name, const Bytes& data, FileStore& files, ControllerModel* model);
    // Requests 103 to 105. A program named by 103 is one of the current
    // project, or else a BASIC file of `files` (when given).
    int32_t request(uint16_t code, const uint8_t* args, size_t n, ControllerModel* model,
                    const FileStore* files = nullptr);

    // The current project record (empty before an archive was accepted).
    const Bytes& currentProject() const { return project_; }
    const ArchiveCheck& lastCheck() const { return last_; }

private:
    int32_t start(ControllerModel& m, const std::string& program, uint8_t task);
    int32_t resume(ControllerModel& m);

    Bytes project_;
    ArchiveCheck last_;
};

}  // namespace tvx::sim
