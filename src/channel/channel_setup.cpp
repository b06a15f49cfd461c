#include <atomic>

#include "base/result_codes.h"
#include "channel/channel.h"
#include "platform/clock.h"

namespace tvx {
namespace {
// One counter for every handle in the process; the atomic increment keeps
// two handles from ever drawing the same value.
std::atomic<uint16_t> sequenceCounter{1};
}  // namespace

uint16_t nextSequence() { return sequenceCounter.fetch_add(1, std::memory_order_relaxed); }

void setSequenceForTests(uint16_t value) { sequenceCounter.store(value, std::memory_order_relaxed); }

int32_t initChannel(CommandChannel& ch, uint8_t framing, uint32_t capacity, uint8_t* txBuffer,
                    uint8_t* replyBuffer, uint8_t* rxBuffer) {
    if (framing != static_cast<uint8_t>(Framing::rtu) && framing != static_cast<uint8_t>(Framing::tcp))
        return rc::cannotFrame;
    return initChannel(ch, static_cast<Framing>(framing), capacity, txBuffer, replyBuffer, rxBuffer);
}

int32_t initChannel(CommandChannel& ch, Framing framing, uint32_t capacity, uint8_t* txBuffer,
                    uint8_t* replyBuffer, uint8_t* rxBuffer) {
    if (!txBuffer || !replyBuffer || !rxBuffer) return rc::cannotFrame;
    if (framing != Framing::rtu && framing != Framing::tcp) return rc::cannotFrame;
    if (!ch.replyEvent.valid() && !ch.replyEvent.create(false)) return rc::osError;
    ch.framing = framing;
    ch.bufferCapacity = capacity;
    ch.txBuffer = txBuffer;
    ch.replyBuffer = replyBuffer;
    ch.rxBuffer = rxBuffer;
    const uint32_t hdr = headerBytes(framing);
    ch.txPdu = txBuffer + hdr;
    ch.replyPdu = replyBuffer + hdr;
    ch.rxPdu = rxBuffer + hdr;
    ch.stationId = kBroadcastStation;
    ch.txLength = 0;
    ch.rxPos = 0;
    ch.rxExpected = 0;
    ch.waiting.store(0);
    ch.replyReady.store(0);
    ch.replyEvent.reset();
    ch.lastActivityMs.store(tickMs(), std::memory_order_relaxed);
    ch.ops = nullptr;
    return rc::ok;
}

int32_t awaitReplyEvent(CommandChannel& ch, uint32_t ms) {
    currentClock().waitEvent(ch.replyEvent, ms);
    return rc::ok;
}

void wakeReplyWaiter(CommandChannel& ch) { ch.replyEvent.set(); }

int32_t setStationId(CommandChannel& ch, uint8_t id) {
    if (id == 0) return rc::cannotFrame;
    ch.stationId = id;
    return rc::ok;
}

void resetWait(CommandChannel& ch) {
    std::lock_guard<std::mutex> lock(ch.handover);
    ch.waiting.store(0, std::memory_order_relaxed);
    ch.replyReady.store(0, std::memory_order_relaxed);
}

void restartAssembly(CommandChannel& ch) {
    ch.rxPos = 0;
    ch.rxExpected = 0;
}

}  // namespace tvx
