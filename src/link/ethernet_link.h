// The Ethernet link: channel frames (MBAP framing) as UDP datagrams between
// an ephemeral local port and port 502 of the controller.
#pragma once

#include <cstdint>

#include "link/link_driver.h"

namespace tvx {

inline constexpr uint16_t kControllerPort = 502;

const LinkDriver& ethernetDriver();

// Splits an address "a.b.c.d[:port]" into its parts; 20002 for texts over
// the limits (1023 characters in all, 255 after the colon).
int32_t parseEthernetAddress(const char* address, char* ipOut, size_t ipCapacity, uint16_t* portOut);

// The keep-alive period of every Ethernet handle (5000 ms); tests shorten it.
uint32_t keepAliveIntervalMs();
void setKeepAliveIntervalMs(uint32_t ms);

}  // namespace tvx
