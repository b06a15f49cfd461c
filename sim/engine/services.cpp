// The services of the simulated controller beyond its core requests. Each
// feature adds its service here, one line each.
#include "engine/service.h"

#include "engine/register_service.h"

namespace tvx::sim {

std::vector<std::unique_ptr<Service>> makeServices() {
    std::vector<std::unique_ptr<Service>> services;
    services.push_back(std::make_unique<RegisterService>());
    return services;
}

}  // namespace tvx::sim
