#include "platform/utc_time.h"

#include <ctime>

namespace tvx::platform {

UtcTime currentUtcTime() {
    UtcTime t;
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (gmtime_r(&now, &parts) == nullptr) return t;
    t.year = static_cast<uint16_t>(parts.tm_year + 1900);
    t.month = static_cast<uint8_t>(parts.tm_mon + 1);
    t.day = static_cast<uint8_t>(parts.tm_mday);
    t.hour = static_cast<uint8_t>(parts.tm_hour);
    t.minute = static_cast<uint8_t>(parts.tm_min);
    t.second = static_cast<uint8_t>(parts.tm_sec);
    return t;
}

}  // namespace tvx::platform
