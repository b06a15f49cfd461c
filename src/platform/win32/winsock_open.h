// Opening Winsock sockets for both socket kinds of the backend.
#pragma once

#include <cstdint>

#include "platform/win32/win32.h"

namespace tvx::platform {

inline SOCKET asSocket(intptr_t fd) { return static_cast<SOCKET>(fd); }

// A new socket. Programs that link the library statically (tests, tools)
// never run its load step: their first socket starts Winsock, once for the
// process.
SOCKET openWinsockSocket(int type, int protocol);

}  // namespace tvx::platform
