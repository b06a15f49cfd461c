// Frame wrapping and unwrapping for the simulated controller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"

namespace tvx::sim {

// Locates the station-relative part (station, function, body) of a received
// frame; false when the frame is malformed (short, bad CRC, bad MBAP).
bool unwrapFrame(Framing framing, const uint8_t* frame, size_t n, const uint8_t** pdu, size_t* pduLength);

// Wraps `pduLength` station-relative bytes at out + headerBytes(framing) in
// place: MBAP header in front or CRC behind. Returns the frame length.
size_t wrapFrame(Framing framing, uint8_t* out, size_t pduLength);

}  // namespace tvx::sim
