#include "base/debug_output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/result_codes.h"
#include "base/trace.h"

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
    const bool toDebugger = g_level.load() != 0 && g_enabled.load();
    const bool toTrace = traceActive() && traceDebugLevel() != 0;
    if (!toDebugger && !toTrace) return;
    char line[kDebugLineChars + 1];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    if (toDebugger) platform::debuggerOutput(line);
    if (toTrace) {
        TVX_TraceEvent event{};
        event.kind = TVX_TRACE_DEBUG;
        event.bytes = reinterpret_cast<const uint8_t*>(line);
        event.length = static_cast<uint32_t>(std::strlen(line));
        event.level = g_level.load();
        emitTrace(event);
    }
}

}  // namespace tvx
