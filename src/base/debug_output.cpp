#include "base/debug_output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "base/result_codes.h"

namespace tvx {
namespace {

std::atomic<uint8_t> g_level{kDefaultDebugLevel};
std::atomic<bool> g_enabled{true};

}  // namespace

void initDebugOutput() {
    g_level.store(kDefaultDebugLevel);
    g_enabled.store(true);
}

uint8_t debugLevel() { return g_level.load(); }

int32_t setDebugLevel(uint8_t level) {
    if (g_level.load() > kDefaultDebugLevel) return rc::debugLevelState;
    debugPrint("DebugSwitch to %d!\r\n", level);
    g_level.store(level);
    return rc::ok;
}

void debugPrint(const char* format, ...) {
    if (g_level.load() == 0 || !g_enabled.load()) return;
    char line[kDebugLineChars + 1];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    platform::debuggerOutput(line);
}

}  // namespace tvx
