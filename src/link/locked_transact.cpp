#include "link/locked_transact.h"

#include "base/result_codes.h"

namespace tvx {
namespace {

inline constexpr uint32_t kLockSliceMs = 20;

// Holds the handle's transaction lock. Without a flag it waits without
// limit; with one it gives up once the flag clears. The handle is
// re-checked once the lock is ours, since a close may have run meanwhile.
class TransactionGuard {
public:
    explicit TransactionGuard(ControllerHandle& h, const std::atomic<uint8_t>* keepWaiting = nullptr) : h_(h) {
        if (!keepWaiting) {
            h_.transactionLock.wait();
            held_ = true;
            return;
        }
        while (!(held_ = h_.transactionLock.waitFor(kLockSliceMs)))
            if (!keepWaiting->load(std::memory_order_acquire)) return;
    }
    ~TransactionGuard() {
        if (held_) h_.transactionLock.release();
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;
    bool usable() const { return held_ && h_.isOpen(); }

private:
    ControllerHandle& h_;
    bool held_ = false;
};

}  // namespace

int32_t lockedTransact(ControllerHandle& h, PacketArea& area) {
    TransactionGuard guard(h);
    if (!guard.usable()) return rc::invalidHandle;
    const int32_t budget = h.timeoutMs.load(std::memory_order_relaxed);
    return transact(h.channel, area.request, area.reply, static_cast<uint32_t>(budget));
}

int32_t lockedChannelCall(ControllerHandle& h, int32_t (*call)(void* context, CommandChannel& ch, uint32_t budgetMs),
                          void* context) {
    TransactionGuard guard(h);
    if (!guard.usable()) return rc::invalidHandle;
    const int32_t budget = h.timeoutMs.load(std::memory_order_relaxed);
    return call(context, h.channel, static_cast<uint32_t>(budget));
}

int32_t lockedSendOnly(ControllerHandle& h, PacketArea& area, const std::atomic<uint8_t>* keepWaiting) {
    TransactionGuard guard(h, keepWaiting);
    if (!guard.usable()) return rc::invalidHandle;
    return sendOnly(h.channel, area.request);
}

}  // namespace tvx
