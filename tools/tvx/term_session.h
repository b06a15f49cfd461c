// The session of 'tvx term': a prompt with line editing and history on a
// terminal, plain lines otherwise; each line runs on the controller and its
// answer is printed as it arrives.
#pragma once

#include <cstdint>
#include <string>

#include "tavrix.h"

namespace tvx::tool {

// Returns the exit status: 0, or 1 when a command failed or the link was lost.
int runTermSession(TVX_HANDLE h, const std::string& address, uint32_t limitMs);

}  // namespace tvx::tool
