// The trace callback export. The capture file (TAVRIX_TRACE) and a
// caller's callback may both be active: the installed callback then feeds
// the file and passes each event on.
#include <atomic>
#include <cstdlib>

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

// Installs what the capture and the caller's callback need. Installing
// waits for running calls, so a replaced callback is never called after.
void installTrace() {
    TVX_TraceCallback user = g_userCallback.load();
    if (traceCaptureActive())
        setTraceCallback(captureAndPass, nullptr, g_userLevel.load());
    else
        setTraceCallback(user, g_userContext.load(), g_userLevel.load());
}

}  // namespace

void startTraceFromEnvironment() {
    const char* path = std::getenv("TAVRIX_TRACE");
    if (!path || !*path) return;
    if (startTraceCapture(path)) installTrace();
}

void stopTrace() {
    g_userCallback.store(nullptr);
    setTraceCallback(nullptr, nullptr, 0);
    stopTraceCapture();
}

}  // namespace tvx

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_SetTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel) {
    using namespace tvx;
    g_userCallback.store(nullptr);
    setTraceCallback(nullptr, nullptr, 0);  // no call of the old callback runs past this point
    g_userContext.store(context);
    g_userLevel.store(debugLevel);
    g_userCallback.store(callback);
    installTrace();
    return rc::ok;
}

}  // extern "C"
