#include "base/bytes.h"
#include "channel/channel_internal.h"
#include "channel/crc16.h"

namespace tvx::detail {

void buildFrame(CommandChannel& ch, uint32_t m) {
    if (ch.framing == Framing::tcp) {
        uint8_t* h = ch.txBuffer;
        h[0] = h[1] = h[2] = h[3] = 0;  // transaction and protocol identifiers
        putBe16(h + 4, static_cast<uint16_t>(m - 2));
        ch.txLength = m + 4;
    } else {
        appendCrc16(ch.txPdu, m - 2);
        ch.txLength = m;
    }
}

void disarm(CommandChannel& ch) {
    std::lock_guard<std::mutex> lock(ch.handover);
    ch.waiting.store(0, std::memory_order_relaxed);
    ch.replyReady.store(0, std::memory_order_relaxed);
}

bool answersRequest(const CommandChannel& ch, const uint8_t* frame) {
    const uint8_t want = ch.txPdu[1];
    const uint8_t got = frame[1];
    if (got == static_cast<uint8_t>(want + fc::exceptionFlag)) return true;
    if (got != want) return false;
    if (want != fc::request) return true;
    const uint8_t* req = ch.txPdu + 2;
    const uint8_t* rep = frame + 2;
    return getU16(req + packet::commandOffset) == getU16(rep + packet::commandOffset) &&
           getU16(req + packet::sequenceOffset) == getU16(rep + packet::sequenceOffset);
}

}  // namespace tvx::detail
