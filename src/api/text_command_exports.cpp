// The text command exports. The four conversational ones hold the handle's
// user lock for their whole run so that one thread's command and its answer
// are never mixed with another thread's; single transactions of other
// threads still interleave between their polls.
#include <cstring>

#include "api/requests.h"
#include "api/text_commands.h"
#include "base/debug_output.h"
#include "platform/clock.h"

namespace tvx {
namespace {

// Holds the user lock; the handle is re-checked once the lock is ours,
// since a close may have run while this thread waited.
class UserLockGuard {
public:
    explicit UserLockGuard(ControllerHandle& h) : h_(h) { h_.userLock.wait(); }
    ~UserLockGuard() { h_.userLock.release(); }
    UserLockGuard(const UserLockGuard&) = delete;
    UserLockGuard& operator=(const UserLockGuard&) = delete;
    bool usable() const { return h_.isOpen(); }

private:
    ControllerHandle& h_;
};

// Characters scanned of a direct command: one more than its request holds.
inline constexpr size_t kDirectTextLimit = 2040;

bool missingBuffer(const char* response, uint32_t capacity) { return capacity > 0 && !response; }

}  // namespace

}  // namespace tvx

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_Execute(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs,
                                        char* response, uint32_t responseCapacity) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!commandText || missingBuffer(response, responseCapacity))
        return refuse(rc::badArgument, "commandText is NULL, or response is NULL with a capacity");
    const uint32_t enteredAt = tickMs();
    UserLockGuard lock(*h);
    if (!lock.usable()) return rc::invalidHandle;

    int32_t r = waitDown(*h, timeLimitMs);
    if (r != rc::ok) return r;
    AnswerSink answer{response, responseCapacity, 0, false};
    r = sendTextChunks(*h, commandText, wireTextLength(commandText), timeLimitMs, enteredAt, &answer);
    if (r != rc::ok) return r;
    return collectUntilDown(*h, answer, timeLimitMs);
}

TVX_API int32_t TVX_STDCALL TVX_ExecuteNoAck(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!commandText) return refuse(rc::badArgument, "commandText is NULL");
    const uint32_t enteredAt = tickMs();
    UserLockGuard lock(*h);
    if (!lock.usable()) return rc::invalidHandle;
    return sendTextChunks(*h, commandText, wireTextLength(commandText), timeLimitMs, enteredAt, nullptr);
}

TVX_API int32_t TVX_STDCALL TVX_ExecuteWaitDown(TVX_HANDLE handle, uint32_t timeLimitMs) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    UserLockGuard lock(*h);
    if (!lock.usable()) return rc::invalidHandle;
    return waitDown(*h, timeLimitMs);
}

TVX_API int32_t TVX_STDCALL TVX_ExecuteGetReceive(TVX_HANDLE handle, char* response, uint32_t responseCapacity,
                                                  uint32_t* lengthOut, uint8_t* doneOut) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!lengthOut || missingBuffer(response, responseCapacity))
        return refuse(rc::badArgument, "lengthOut is NULL, or response is NULL with a capacity");
    UserLockGuard lock(*h);
    if (!lock.usable()) return rc::invalidHandle;
    uint32_t count = 0;
    bool done = false;
    const int32_t r = collectAnswer(*h, response, responseCapacity, &count, &done);
    if (r != rc::ok) return r;
    *lengthOut = count;
    if (doneOut) *doneOut = done ? 1 : 0;
    return rc::ok;
}

TVX_API uint32_t TVX_STDCALL TVX_ExecuteGetRemainBuffSpace(TVX_HANDLE handle) {
    // The invalid-handle code is returned in place of a space.
    ControllerHandle* h = validHandle(handle);
    if (!h) return static_cast<uint32_t>(rc::invalidHandle);
    int32_t free = 0;
    if (query(*h, req::freeSpace, &free) != rc::ok) return 0;
    // A negative report means no room, not four billion bytes of it.
    return free > 0 ? static_cast<uint32_t>(free) : 0;
}

TVX_API int32_t TVX_STDCALL TVX_DirectCommand(TVX_HANDLE handle, const char* commandText, char* response,
                                              uint32_t responseCapacity) {
    return withHandle(handle, [&](ControllerHandle& h) {
        if (!commandText || missingBuffer(response, responseCapacity))
            return refuse(rc::badArgument, "commandText is NULL, or response is NULL with a capacity");
        // The text always travels with its 0 byte. The scan stops just past
        // the largest text a request carries: exchangeData refuses a longer
        // one with 20002, and the channel one its link cannot frame with 3401.
        const size_t n = strnlen(commandText, kDirectTextLimit) + 1;
        return exchangeData(h, req::direct, commandText, static_cast<uint32_t>(n), response, responseCapacity,
                            nullptr);
    });
}

}  // extern "C"
