#include "platform/platform.h"

namespace tvx::platform {

// Large pages on Windows need a privilege ordinary users lack and memory
// reserved as such from the start: the hint has nothing to ask for.
void adviseLargeFill(void*, size_t) {}

}  // namespace tvx::platform
