// Starting and stopping the protocol trace with the library.
#pragma once

namespace tvx {

// Opens the capture file named by TAVRIX_TRACE, when it is set (load).
void startTraceFromEnvironment();
// Removes every trace callback and closes the capture file (unload).
void stopTrace();

}  // namespace tvx
