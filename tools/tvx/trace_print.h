// tvx --trace: each frame the library sends or receives, decoded in one line.
#pragma once

#include <string>

#include "tavrix.h"

namespace tvx::tool {

// One line for a traced frame or debug line (no line break), with the time
// in seconds since `startNs`.
std::string describeTraceEvent(const TVX_TraceEvent& event, uint64_t startNs);

// Installs a trace callback that prints every event to standard error.
void startTracePrinting();

}  // namespace tvx::tool
