// The trace callback export. The capture file (TAVRIX_TRACE) and a
// caller's callback may both be active: the installed callback then feeds
// the file and passes each event on.
#include <atomic>
#include <cstdlib>

#include "base/debug_output.h"
#include "base/result_codes.h"
#include "base/trace.h"
#include "frame/trace_capture.h"
#include "frame/trace_setup.h"

namespace tvx {
namespace {

std::atomic<TVX_TraceCallback> g_userCallback{nullptr};
std::atomic<void*> g_userContext{nullptr};
std::atomic<uint32_t> g_userLevel{0};

void captureAndPass(const TVX_TraceEvent* event, void*) {
    writeTraceCapture(*event);
    if (TVX_TraceCallback callback = g_userCallback.load(std::memory_order_acquire))
        callback(event, g_userContext.load(std::memory_order_acquire));
}

// At unload the wait for running calls is kept short: the whole unload has
// its bound, and a thread stuck in a caller's callback must not hold it.
inline constexpr uint32_t kUnloadTraceWaitMs = 250;

// Installs what the capture and the caller's callback need. Installing
// waits (up to `waitLimitMs`) for running calls, so a replaced callback is
// not called after; false when calls were still running at the limit.
bool installTrace(uint32_t waitLimitMs) {
    TVX_TraceCallback user = g_userCallback.load();
    if (traceCaptureActive()) return setTraceCallback(captureAndPass, nullptr, g_userLevel.load(), waitLimitMs);
    return setTraceCallback(user, g_userContext.load(), g_userLevel.load(), waitLimitMs);
}

}  // namespace

void startTraceFromEnvironment() {
    const char* path = std::getenv("TAVRIX_TRACE");
    if (!path || !*path) return;
    if (startTraceCapture(path)) installTrace(kTraceChangeWaitMs);
}

void stopTrace() {
    g_userCallback.store(nullptr);
    if (!setTraceCallback(nullptr, nullptr, 0, kUnloadTraceWaitMs))
        debugPrint("trace: %u callback calls still running at unload", traceCallsRunning());
    forgetTraceThreads();
    stopTraceCapture();
}

}  // namespace tvx

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_SetTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel) {
    using namespace tvx;
    g_userCallback.store(nullptr);
    // No call of the old callback runs past this point, unless one has not
    // returned within the wait's bound.
    const bool settled = setTraceCallback(nullptr, nullptr, 0);
    g_userContext.store(context);
    g_userLevel.store(debugLevel);
    g_userCallback.store(callback);
    installTrace(0);
    if (!settled) {
        debugPrint("trace: %u callback calls still running after %u ms", traceCallsRunning(), kTraceChangeWaitMs);
        return rc::timeLimit;
    }
    return rc::ok;
}

}  // extern "C"
