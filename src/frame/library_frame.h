// Library load and unload.
#pragma once

#include <cstdint>

#include "platform/library_entry.h"

namespace tvx {

inline constexpr const char* kSocketsFailureMessage = "The sockets layer could not be initialised.";
inline constexpr const char* kCipherFailureMessage = "Nsecure init error.";

// libraryLoad runs the load steps in order: sockets layer, debug output
// (one line), archive cipher, handle table. It returns 0, or the failing
// step's code after showing its message; the result is also recorded for
// libraryLoadResult. libraryUnload destroys every handle and releases
// process-wide resources.
// The result of the last load: 0 when it succeeded or has not run (a
// program linking the library statically runs no load of its own).
int32_t libraryLoadResult();

// The four version numbers as "%d.%d.%d.%d" from the two 32-bit words of a
// file version (each number keeps its low 8 bits). `out` takes 16 bytes.
void formatFileVersion(uint32_t mostSignificant, uint32_t leastSignificant, char* out);

}  // namespace tvx
