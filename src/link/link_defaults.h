// Process-wide link defaults, set through exports and read at open.
#pragma once

#include <cstdint>

namespace tvx {

uint32_t connectionIdentifier();
void setConnectionIdentifier(uint32_t id);

}  // namespace tvx
