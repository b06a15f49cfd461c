// The services of the simulated controller beyond its core requests. Each
// feature adds its service here, one line each.
#include "engine/firmware_service.h"
#include "engine/service.h"
#include "engine/three_file_service.h"

namespace tvx::sim {

std::vector<std::unique_ptr<Service>> makeServices() {
    std::vector<std::unique_ptr<Service>> services;
    services.push_back(std::make_unique<FirmwareService>());
    services.push_back(std::make_unique<ThreeFileService>());
    return services;
}

}  // namespace tvx::sim
