// The services of the simulated controller beyond its core requests. Each
// feature adds its service here, one line each.
#include "engine/service.h"

#include "engine/array_service.h"
#include "engine/auto_upload_service.h"
#include "engine/cycle_upload_service.h"
#include "engine/display_service.h"
#include "engine/firmware_service.h"
#include "engine/lock_gate.h"
#include "engine/program_service.h"
#include "engine/register_service.h"
#include "engine/serial_line_service.h"
#include "engine/three_file_service.h"

namespace tvx::sim {

std::vector<std::unique_ptr<Service>> makeServices() {
    std::vector<std::unique_ptr<Service>> services;
    services.push_back(std::make_unique<LockGate>());
    services.push_back(std::make_unique<DisplayService>());
    services.push_back(std::make_unique<SerialLineService>());
    services.push_back(std::make_unique<ArrayService>());
    services.push_back(std::make_unique<ProgramService>());
    services.push_back(std::make_unique<CycleUploadService>());
    services.push_back(std::make_unique<AutoUploadService>());
    services.push_back(std::make_unique<RegisterService>());
    services.push_back(std::make_unique<FirmwareService>());
    services.push_back(std::make_unique<ThreeFileService>());
    return services;
}

}  // namespace tvx::sim
