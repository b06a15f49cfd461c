#include "link/handle.h"
#include "link/link_driver.h"
#include "platform/clock.h"

namespace tvx {

int32_t commonWaitReply(CommandChannel& ch, uint32_t ms) {
    currentClock().waitEvent(ownerOf(ch).replyEvent, ms);
    return 0;
}

void commonSignalReply(CommandChannel& ch) { ownerOf(ch).replyEvent.set(); }

void commonNoteActivity(CommandChannel& ch) {
    ownerOf(ch).lastRxTick.store(tickMs(), std::memory_order_relaxed);
}

bool commonIdleExpired(CommandChannel& ch) {
    const uint32_t last = ownerOf(ch).lastRxTick.load(std::memory_order_relaxed);
    return static_cast<uint32_t>(tickMs() - last) > kIdleExpiryMs;
}

LinkLimits linkLimits(const ControllerHandle& h) {
    LinkLimits limits = h.driver ? h.driver->limits : kSerialLimits;
    const CommandChannel& ch = h.channel;
    const uint32_t framed = framingOverhead(ch.framing) + static_cast<uint32_t>(packet::headerLength);
    limits.textPayload = ch.bufferCapacity > framed ? ch.bufferCapacity - framed : 0;
    return limits;
}

}  // namespace tvx
