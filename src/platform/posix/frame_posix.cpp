// POSIX side of the library frame: debug lines go to standard error only
// when TAVRIX_DEBUG is set; the version comes from the build's definitions.
#include <cstdio>
#include <cstdlib>

#include "base/debug_output.h"
#include "platform/platform.h"

namespace tvx::platform {

void debuggerOutput(const char* line) {
    if (std::getenv("TAVRIX_DEBUG") == nullptr) return;
    std::fputs(line, stderr);
}

void showLoadFailure(const char* message) { std::fprintf(stderr, "tavrix: %s\n", message); }

bool moduleFileVersion(uint32_t* mostSignificant, uint32_t* leastSignificant) {
    // "+ 0" keeps an empty definition (a version without that part) valid.
    const uint32_t major = (TVX_VERSION_MAJOR + 0);
    const uint32_t minor = (TVX_VERSION_MINOR + 0);
    const uint32_t patch = (TVX_VERSION_PATCH + 0);
    const uint32_t tweak = (TVX_VERSION_TWEAK + 0);
    *mostSignificant = (major << 16) | (minor & 0xFFFF);
    *leastSignificant = (patch << 16) | (tweak & 0xFFFF);
    return true;
}

}  // namespace tvx::platform
