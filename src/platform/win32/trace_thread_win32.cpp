// The per-thread count of trace calls in progress. A Windows thread is only
// ended inside the trace path by TerminateThread, which runs nothing, so
// the count is not handed back; a change of the callback waits with a
// bound instead.
#include <cstdint>

#include "base/trace.h"

namespace tvx::platform {
namespace {
thread_local uint32_t t_depth = 0;
}  // namespace

uint32_t threadTraceDepth() { return t_depth; }
void setThreadTraceDepth(uint32_t depth, void (*)(uint32_t)) { t_depth = depth; }
void forgetThreadTraceDepths() {}

}  // namespace tvx::platform
