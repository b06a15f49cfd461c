// The record behind every opaque controller handle.
#pragma once

#include <atomic>
#include <cstdint>

#include "channel/channel.h"
#include "link/handle_extensions.h"
#include "platform/platform.h"
#include "tavrix.h"

namespace tvx {

struct LinkDriver;

inline constexpr uint32_t kHandleMagic = 0xF1F2F3F4u;
inline constexpr uint32_t kDefaultTimeoutMs = 5000;
inline constexpr size_t kAddressCapacity = 1024;  // 1023 characters and the terminator

struct ControllerHandle {
    // Transmit, reply and receive buffers lent to the channel.
    alignas(16) uint8_t txBuffer[kBufferSize];
    uint8_t replyBuffer[kBufferSize];
    uint8_t rxBuffer[kBufferSize];

    std::atomic<uint32_t> magic{0};
    // The table slot the record lives in and the use of that slot it
    // stands for; both are fixed when the record is placed in the table and
    // together form the value callers hold (see toApi).
    uint32_t tableSlot = 0;
    uintptr_t generation = 0;
    // Set from allocation until the open sequence has finished with it, and
    // while a close finishes: no allocation reaps the record meanwhile.
    std::atomic<bool> opening{false};
    uint32_t closedAt = 0;
    std::atomic<int32_t> timeoutMs{0};
    CommandChannel channel;

    char connectString[kAddressCapacity] = {};

    // The link kind's driver and its own state (socket, port, device and
    // threads), which the driver allocates and frees.
    const LinkDriver* driver = nullptr;
    std::atomic<void*> linkState{nullptr};
    // Threads using the link state outside the kind's own threads (a
    // transaction reading its reply itself): teardown frees the state only
    // once none is left (see LinkUse).
    std::atomic<uint32_t> linkUsers{0};

    // Set when a link thread could not be stopped: the record then stays
    // allocated for good, since that thread may still read it.
    std::atomic<bool> threadsOutstanding{false};

    platform::Semaphore transactionLock;
    platform::Semaphore userLock;

    uint32_t axisCount = 0;
    uint8_t windowedTransfer = 0;
    std::atomic<float> progress{0.0f};
    std::atomic<TVX_AutoUpCallback> autoUpCallback{nullptr};
    // Calls of the auto-upload callback in progress: close waits for them
    // so that no call runs once it has returned.
    std::atomic<uint32_t> callbacksRunning{0};
    std::atomic<uint32_t> unsolicitedCount{0};
    uint16_t lastUnsolicitedSeq = 0xFFFF;

    // Per-handle state of the layers above (see handle_extensions.h).
    std::atomic<void*> extensions[kExtensionCount] = {};

    bool isOpen() const { return magic.load(std::memory_order_acquire) == kHandleMagic; }
};

// The value callers hold is a token made of the slot and its generation,
// not the record's address: once the slot is reused, an old token no longer
// names anything, even when the new record lands at the old address.
TVX_HANDLE toApi(const ControllerHandle* h);
// The record a token names, open or closed, or null when the slot has been
// reused or the value was never a token.
ControllerHandle* fromApi(TVX_HANDLE h);
inline ControllerHandle& ownerOf(CommandChannel& ch) { return *static_cast<ControllerHandle*>(ch.owner); }

// Marks the calling thread as a user of the handle's link state for its
// lifetime. Teardown clears linkState before it waits for the users to
// leave, and a user counts itself in before it reads linkState: one of
// them sees the other (both sequentially consistent).
class LinkUse {
public:
    explicit LinkUse(ControllerHandle& h) : h_(h) { h_.linkUsers.fetch_add(1, std::memory_order_seq_cst); }
    ~LinkUse() { h_.linkUsers.fetch_sub(1, std::memory_order_seq_cst); }
    LinkUse(const LinkUse&) = delete;
    LinkUse& operator=(const LinkUse&) = delete;
    void* state() const { return h_.linkState.load(std::memory_order_seq_cst); }

private:
    ControllerHandle& h_;
};

// Clears the link state and waits up to `limitMs` for its users to leave;
// false when one stayed (the state must then never be freed).
bool retireLinkState(ControllerHandle& h, uint32_t limitMs);

}  // namespace tvx
