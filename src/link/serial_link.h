// The serial link: channel frames (RTU framing with CRC-16 and a station
// address) over a COM port, read by the port's event thread.
#pragma once

#include <cstdint>

#include "link/link_driver.h"
#include "platform/serial_port.h"

namespace tvx {

const LinkDriver& serialDriver();

// Reads the port number of an address "COM<n>" (blanks allowed before the
// number, "COM" in any case) as atoi would; false when the text does not
// start with "COM". A text shorter than "COM" reads as port 0. Numbers too
// large for an i32 come out as -1.
bool parseComAddress(const char* address, int32_t* port);

// Process-wide defaults, read when a serial link opens.
struct SerialDefaults {
    platform::SerialLine line;
    uint32_t dataBits = 8;  // kept for callers; the port always runs 8 data bits
    uint8_t station = kBroadcastStation;
};
SerialDefaults serialDefaults();
void setSerialLineDefaults(uint32_t baud, uint32_t dataBits, uint32_t parity, uint32_t stopBits);
void setSerialStationDefault(uint8_t station);

// Moves the local port of a serial handle to `baud` (the defaults' parity
// and stop bits); errors are ignored, as the controller has already moved.
void reprogramSerialBaud(ControllerHandle& h, uint32_t baud);

}  // namespace tvx
