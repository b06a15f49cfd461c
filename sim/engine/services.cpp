// The services of the simulated controller beyond its core requests. Each
// feature adds its service here, one line each.
#include "engine/service.h"

#include "engine/display_service.h"
#include "engine/auto_upload_service.h"
#include "engine/cycle_upload_service.h"

namespace tvx::sim {

std::vector<std::unique_ptr<Service>> makeServices() {
    std::vector<std::unique_ptr<Service>> services;
    services.push_back(std::make_unique<DisplayService>());
    services.push_back(std::make_unique<CycleUploadService>());
    services.push_back(std::make_unique<AutoUploadService>());
    return services;
}

}  // namespace tvx::sim
