// Library load and unload.
#pragma once

#include <cstdint>

namespace tvx {

// Runs the load steps in order; 0 on success, or the failing step's code.
int32_t libraryLoad();
// Destroys every handle and releases process-wide resources.
void libraryUnload();

}  // namespace tvx
