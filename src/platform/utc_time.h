// The current date and time in UTC, as project records stamp it.
#pragma once

#include <cstdint>

namespace tvx::platform {

struct UtcTime {
    uint16_t year = 0;
    uint8_t month = 0;  // 1-12
    uint8_t day = 0;    // 1-31
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
};

UtcTime currentUtcTime();

}  // namespace tvx::platform
