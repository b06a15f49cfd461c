// Entry of cycle-upload blocks pushed by the controller (command 399).
#pragma once

#include <cstdint>

namespace tvx {

struct ControllerHandle;

// Copies a cycle-upload block into the matching active buffer of the handle.
// `length` is the packet's own length (at least 11). Runs on the receive
// thread.
void cycleUploadReceive(ControllerHandle& h, const uint8_t* packet, uint16_t length);

}  // namespace tvx
