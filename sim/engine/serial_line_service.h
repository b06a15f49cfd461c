// The controller's serial line: its station address, its baud, and request
// 226, which moves the line to another baud once the reply has gone out.
#pragma once

#include <cstdint>

#include "engine/service.h"

namespace tvx::sim {

inline constexpr uint8_t kDefaultSerialStation = 1;
inline constexpr uint32_t kDefaultSerialBaud = 38400;

class SerialLineService : public Service {
public:
    bool serves(uint16_t command) const override;
    void serve(ServiceRequest& request) override;
    void reset() override { *this = SerialLineService{}; }

    uint8_t station = kDefaultSerialStation;
    uint32_t baud = kDefaultSerialBaud;
    // Takes a baud change accepted by request 226, to apply after its reply.
    bool takeBaudChange(uint32_t* newBaud);

private:
    uint32_t pendingBaud_ = 0;
};

}  // namespace tvx::sim
