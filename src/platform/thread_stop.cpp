#include "platform/platform.h"

namespace tvx::platform {

void stopThread(Thread& thread, uint32_t ms) {
    if (!thread.started()) return;
    // A thread asked to stop itself (a callback closing its own handle) must
    // neither wait for nor kill itself: it is detached and ends on return.
    if (thread.isCurrent()) {
        thread.release();
        return;
    }
    if (!thread.joinFor(ms)) thread.terminate();
    thread.release();
}

}  // namespace tvx::platform
