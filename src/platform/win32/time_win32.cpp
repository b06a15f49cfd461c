#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace tvx::platform {

uint32_t systemTickMs() { return GetTickCount(); }

void systemSleepMs(uint32_t ms) { Sleep(boundedWait(ms)); }

}  // namespace tvx::platform
