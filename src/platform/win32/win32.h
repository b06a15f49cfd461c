// The Windows headers as the backend uses them: lean, without min/max
// macros, Winsock 2 declarations before windows.h.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <winsock2.h>
#include <windows.h>

#include <cstdint>

namespace tvx::platform {

// INFINITE is a valid 32-bit count for callers; waits stay bounded by
// mapping it to the longest finite wait.
inline DWORD boundedWait(uint32_t ms) { return ms == INFINITE ? INFINITE - 1 : ms; }

}  // namespace tvx::platform
