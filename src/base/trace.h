// The process-wide protocol trace: one callback that sees every frame sent
// and received and, up to a level, the debug lines. While no callback is
// set a frame costs one relaxed load and a branch, and nothing is built.
#pragma once

#include <atomic>
#include <cstdint>

#include "tavrix.h"

namespace tvx {

namespace trace_detail {
extern std::atomic<TVX_TraceCallback> g_callback;
}  // namespace trace_detail

inline bool traceActive() { return trace_detail::g_callback.load(std::memory_order_relaxed) != nullptr; }

// How long a change of the callback waits for running calls of the old one.
inline constexpr uint32_t kTraceChangeWaitMs = 1000;

// Installs or removes the callback once no call of the previous one is
// still running, waiting at most `waitLimitMs` for them (callbacks must
// return quickly). False when calls were still running at the limit.
bool setTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel,
                      uint32_t waitLimitMs = kTraceChangeWaitMs);
// Hands an event to the callback, if one is set. Fills in the timestamp.
void emitTrace(TVX_TraceEvent& event);
// The debug level up to which lines reach the callback.
uint32_t traceDebugLevel();
// Calls of the callback in progress now.
uint32_t traceCallsRunning();
// At unload: no thread that ends later reports its calls back.
void forgetTraceThreads();

namespace platform {
// A monotonic clock in nanoseconds, a pause of about a millisecond, and
// holding off the cancellation of the
// calling thread (restored with the value the hold returned); each platform
// backend supplies them.
uint64_t monotonicNanos();
void pauseBriefly();
int holdCancellation();
void restoreCancellation(int previous);
// The calling thread's count of trace calls in progress. Setting it above 0
// arranges for `onExit` to get the count when the thread ends with it still
// above 0 (where the system can tell); forgetting drops that arrangement
// for every thread.
uint32_t threadTraceDepth();
void setThreadTraceDepth(uint32_t depth, void (*onExit)(uint32_t depth));
void forgetThreadTraceDepths();
}  // namespace platform

}  // namespace tvx
