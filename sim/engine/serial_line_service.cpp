#include "engine/serial_line_service.h"

#include "base/bytes.h"
#include "channel/request_codes.h"

namespace tvx::sim {
namespace {

inline constexpr int32_t kStatusBadArgument = 3204;

// The rates a controller's serial line can run at.
bool supportedBaud(uint32_t baud) {
    switch (baud) {
        case 1200: case 2400: case 4800: case 9600: case 19200: case 38400: case 57600: case 115200:
        case 230400: case 460800: case 921600:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool SerialLineService::serves(uint16_t command) const { return command == req::serialBaud; }

void SerialLineService::serve(ServiceRequest& request) {
    if (request.n < 4 || !supportedBaud(getU32(request.args))) {
        request.reply.status(kStatusBadArgument);
        return;
    }
    pendingBaud_ = getU32(request.args);
}

bool SerialLineService::takeBaudChange(uint32_t* newBaud) {
    if (pendingBaud_ == 0) return false;
    *newBaud = pendingBaud_;
    pendingBaud_ = 0;
    return true;
}

}  // namespace tvx::sim
