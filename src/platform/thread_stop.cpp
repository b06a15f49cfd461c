#include "platform/platform.h"

namespace tvx::platform {
namespace {
// A terminated thread ends at its next blocking call; this long is allowed
// for it to get there.
inline constexpr uint32_t kTerminationGraceMs = 1000;
}  // namespace

bool stopThread(Thread& thread, uint32_t ms) {
    if (!thread.started()) return true;
    // A thread asked to stop itself (a callback closing its own handle) must
    // neither wait for nor kill itself: it is detached and ends on return.
    if (thread.isCurrent()) {
        thread.release();
        return false;
    }
    bool ended = thread.joinFor(ms);
    if (!ended) {
        thread.terminate();
        ended = thread.joinFor(kTerminationGraceMs);
    }
    thread.release();
    return ended;
}

}  // namespace tvx::platform
