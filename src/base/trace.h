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

// Installs or removes the callback; returns once no call of the previous
// one is still running (bounded: callbacks must return quickly).
void setTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel);
// Hands an event to the callback, if one is set. Fills in the timestamp.
void emitTrace(TVX_TraceEvent& event);
// The debug level up to which lines reach the callback.
uint32_t traceDebugLevel();

namespace platform {
// A monotonic clock in nanoseconds, and giving up the processor for a
// moment; each platform backend supplies them.
uint64_t monotonicNanos();
void yieldProcessor();
}  // namespace platform

}  // namespace tvx
