// Sending a checked firmware image to a controller.
#pragma once

#include <cstdint>

#include "link/handle.h"
#include "transfer/firmware_image.h"

namespace tvx {

// Compares the controller's hardware identifier with the image's (20020 on
// a mismatch), then sends the payload: in one transfer, or section by
// section with progress over all of them.
int32_t downloadFirmware(ControllerHandle& h, const FirmwareImage& image);

}  // namespace tvx
