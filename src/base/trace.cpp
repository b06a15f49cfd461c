#include "base/trace.h"

namespace tvx {

namespace trace_detail {
std::atomic<TVX_TraceCallback> g_callback{nullptr};
}  // namespace trace_detail

namespace {

std::atomic<void*> g_context{nullptr};
std::atomic<uint32_t> g_debugLevel{0};
// Calls of the callback in progress: a change waits until they are done,
// so a caller may free its context once the change returns.
std::atomic<uint32_t> g_running{0};

}  // namespace

void setTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel) {
    trace_detail::g_callback.store(nullptr, std::memory_order_seq_cst);
    while (g_running.load(std::memory_order_seq_cst) != 0) platform::yieldProcessor();
    g_context.store(context, std::memory_order_relaxed);
    g_debugLevel.store(debugLevel, std::memory_order_relaxed);
    trace_detail::g_callback.store(callback, std::memory_order_seq_cst);
}

uint32_t traceDebugLevel() { return g_debugLevel.load(std::memory_order_relaxed); }

void emitTrace(TVX_TraceEvent& event) {
    g_running.fetch_add(1, std::memory_order_seq_cst);
    // Loaded again after announcing the call: a change that cleared the
    // callback meanwhile is seen here, or waits for this call to end.
    TVX_TraceCallback callback = trace_detail::g_callback.load(std::memory_order_seq_cst);
    if (callback) {
        event.timestampNs = platform::monotonicNanos();
        callback(&event, g_context.load(std::memory_order_relaxed));
    }
    g_running.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace tvx
