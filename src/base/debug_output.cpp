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

NameSpan functionName(const char* signature) {
    // The name ends at the parameter list: the first '(' that does not open
    // a "(anonymous namespace)" or "(anonymous class)" of clang.
    const char* open = signature;
    while ((open = std::strchr(open, '(')) != nullptr && std::strncmp(open, "(anonymous", 10) == 0) ++open;
    if (!open) return {signature, static_cast<int>(std::strlen(signature))};
    const char* begin = open;
    while (begin != signature && std::strchr(" *&:", begin[-1]) == nullptr) --begin;
    return {begin, static_cast<int>(open - begin)};
}

namespace {
thread_local const char* t_exportSignature = nullptr;
}  // namespace

RefusalContext::RefusalContext(CallSite where) : previous_(t_exportSignature) {
    t_exportSignature = where.function_name();
}

RefusalContext::~RefusalContext() { t_exportSignature = previous_; }

int32_t refuse(int32_t code, const char* reason, CallSite where) {
    const NameSpan name = functionName(where.function_name());
    const NameSpan outer = functionName(t_exportSignature ? t_exportSignature : where.function_name());
    if (outer.length == name.length && std::strncmp(outer.begin, name.begin, name.length) == 0)
        debugPrint("%.*s: refused with %d: %s\r\n", name.length, name.begin, static_cast<int>(code), reason);
    else
        debugPrint("%.*s: refused with %d in %.*s: %s\r\n", outer.length, outer.begin, static_cast<int>(code),
                   name.length, name.begin, reason);
    return code;
}

}  // namespace tvx
