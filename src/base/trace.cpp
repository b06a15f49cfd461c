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

// A thread that ends inside a callback (a thread exit from within it, as an
// interpreter does to its threads at shutdown, or a cancellation) never
// returns here: its calls in progress are released when it ends.
void releaseEndedThread(uint32_t callsInProgress) {
    g_running.fetch_sub(callsInProgress, std::memory_order_seq_cst);
}

// Announces one call in progress, on the thread and in the total.
class RunningCall {
public:
    RunningCall() {
        g_running.fetch_add(1, std::memory_order_seq_cst);
        platform::setThreadTraceDepth(platform::threadTraceDepth() + 1, releaseEndedThread);
    }
    ~RunningCall() {
        platform::setThreadTraceDepth(platform::threadTraceDepth() - 1, releaseEndedThread);
        g_running.fetch_sub(1, std::memory_order_seq_cst);
    }
    RunningCall(const RunningCall&) = delete;
    RunningCall& operator=(const RunningCall&) = delete;
};

// Keeps a cancellation of the calling thread from acting inside the trace
// path (a callback or a capture write); it acts at the thread's next wait.
class CancellationHeld {
public:
    CancellationHeld() : previous_(platform::holdCancellation()) {}
    ~CancellationHeld() { platform::restoreCancellation(previous_); }
    CancellationHeld(const CancellationHeld&) = delete;
    CancellationHeld& operator=(const CancellationHeld&) = delete;

private:
    int previous_;
};

}  // namespace

bool setTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel, uint32_t waitLimitMs) {
    trace_detail::g_callback.store(nullptr, std::memory_order_seq_cst);
    const uint64_t start = platform::monotonicNanos();
    const uint64_t limit = static_cast<uint64_t>(waitLimitMs) * 1000000u;
    bool settled = true;
    while (g_running.load(std::memory_order_seq_cst) != 0) {
        if (platform::monotonicNanos() - start >= limit) {
            settled = false;
            break;
        }
        platform::pauseBriefly();
    }
    g_context.store(context, std::memory_order_relaxed);
    g_debugLevel.store(debugLevel, std::memory_order_relaxed);
    trace_detail::g_callback.store(callback, std::memory_order_seq_cst);
    return settled;
}

uint32_t traceDebugLevel() { return g_debugLevel.load(std::memory_order_relaxed); }

uint32_t traceCallsRunning() { return g_running.load(std::memory_order_seq_cst); }

void forgetTraceThreads() { platform::forgetThreadTraceDepths(); }

void emitTrace(TVX_TraceEvent& event) {
    CancellationHeld held;
    RunningCall running;
    // Loaded again after announcing the call: a change that cleared the
    // callback meanwhile is seen here, or waits for this call to end.
    TVX_TraceCallback callback = trace_detail::g_callback.load(std::memory_order_seq_cst);
    if (callback) {
        event.timestampNs = platform::monotonicNanos();
        callback(&event, g_context.load(std::memory_order_relaxed));
    }
}

}  // namespace tvx
