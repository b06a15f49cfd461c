// The shared library's load and unload steps, run by the platform's module
// entry (a constructor and destructor on Linux, DllMain on Windows). The
// library frame supplies both; the platform only decides when they run.
#pragma once

#include <cstdint>

namespace tvx {

// 0 when the library may be used; otherwise the load is refused.
int32_t libraryLoad();
void libraryUnload();

}  // namespace tvx
