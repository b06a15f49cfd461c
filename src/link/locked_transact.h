// One transaction on an open handle: take its transaction lock, run the
// channel with the handle's time budget, release the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "channel/packet_area.h"
#include "link/handle.h"

namespace tvx {

// Runs the request of `area` and leaves the reply in it. The handle is
// re-checked once the lock is held, since a close may have run meanwhile.
int32_t lockedTransact(ControllerHandle& h, PacketArea& area);
// Sends the request of `area` once without waiting for a reply. With
// `keepWaiting`, the wait for the lock gives up (20009) once the flag
// clears: link threads use it so that a close never waits on them.
int32_t lockedSendOnly(ControllerHandle& h, PacketArea& area, const std::atomic<uint8_t>* keepWaiting = nullptr);

// Runs `call(channel, budgetMs)` under the transaction lock, with the
// handle's time budget read once the lock is held: the standard Modbus
// functions go through it. 20009 when the handle closed meanwhile.
int32_t lockedChannelCall(ControllerHandle& h, int32_t (*call)(void* context, CommandChannel& ch, uint32_t budgetMs),
                          void* context);
template <class Call>
int32_t lockedChannelCall(ControllerHandle& h, Call&& call) {
    using Fn = std::remove_reference_t<Call>;
    return lockedChannelCall(
        h, [](void* context, CommandChannel& ch, uint32_t budgetMs) { return (*static_cast<Fn*>(context))(ch, budgetMs); },
        &call);
}

}  // namespace tvx
