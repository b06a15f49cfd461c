// Finding controllers on Ethernet with the "Get IPAddr" probe datagram.
#pragma once

#include <cstdint>

namespace tvx {

inline constexpr char kProbeText[] = "Get IPAddr";
inline constexpr uint32_t kProbeLength = 10;  // sent without a terminator

}  // namespace tvx
