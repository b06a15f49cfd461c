// Feeds arbitrary chunks into the channel's receive path, in both framings,
// while a request waits for its reply, and checks the channel's invariants
// after every chunk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/bytes.h"
#include "channel/channel.h"
#include "platform/clock.h"

namespace {

using namespace tvx;

struct Harness {
    CommandChannel ch;
    uint8_t tx[kBufferSize];
    uint8_t reply[kBufferSize];
    uint8_t rx[kBufferSize];
};

int32_t sendNothing(CommandChannel&, const uint8_t*, uint32_t) { return 0; }
int32_t waitNothing(CommandChannel&, uint32_t) { return 0; }
void pushed(CommandChannel&, const uint8_t* packet, uint32_t available) {
    // The packet handed up must be readable for its whole announced length.
    if (available < getU16(packet)) std::abort();
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < available; ++i) sink = static_cast<uint8_t>(sink ^ packet[i]);
}

const LinkOps kOps = {sendNothing, waitNothing, pushed, nullptr};

void check(const Harness& h) {
    const CommandChannel& ch = h.ch;
    if (ch.rxPos > ch.bufferCapacity || ch.rxExpected > ch.bufferCapacity) std::abort();
    if (!ch.replyReady.load()) return;
    // An accepted reply answers the pending request.
    const uint8_t want = ch.txPdu[1];
    const uint8_t got = ch.replyPdu[1];
    if (got == static_cast<uint8_t>(want + 0x80)) return;
    if (got != want) std::abort();
    const uint8_t* req = ch.txPdu + 2;
    const uint8_t* rep = ch.replyPdu + 2;
    if (getU16(rep) < 10) std::abort();
    if (getU16(req + 2) != getU16(rep + 2) || getU16(req + 4) != getU16(rep + 4)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    static Harness h;
    const Framing framing = (data[0] & 1) ? Framing::tcp : Framing::rtu;
    initChannel(h.ch, framing, kBufferSize, h.tx, h.reply, h.rx);
    h.ch.ops = &kOps;
    h.ch.owner = &h;
    setStationId(h.ch, static_cast<uint8_t>(data[1] | 1));

    // A pending request of command data[2] with a known sequence.
    uint8_t request[packet::areaSize] = {};
    putU16(request, 6);
    putU16(request + 2, data[2]);
    setSequenceForTests(static_cast<uint16_t>(data[3]));
    sendOnly(h.ch, request);
    h.ch.waiting.store(1);

    size_t i = 4;
    while (i < size) {
        const uint8_t control = data[i++];
        // The top bit: the chunk comes after a pause long enough to end
        // any frame under way.
        if (control & 0x80) h.ch.lastActivityMs.store(tickMs() - kIdleExpiryMs - 1);
        const size_t n = std::min<size_t>(control & 0x7F ? (control & 0x7F) * 17u : size - i, size - i);
        if (framing == Framing::tcp) restartAssembly(h.ch);
        feedBytes(h.ch, data + i, static_cast<uint32_t>(n));
        i += n;
        check(h);
        if (h.ch.replyReady.load()) {
            resetWait(h.ch);
            h.ch.waiting.store(1);
        }
    }
    resetWait(h.ch);
    return 0;
}
