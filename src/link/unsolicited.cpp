// Packets pushed by the controller (function 73), on the receive thread.
#include <atomic>
#include <cstring>

#include "base/bytes.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "link/pushed_packets.h"
#include "platform/platform.h"
#include "channel/request_codes.h"

namespace tvx {
namespace {

// The handle whose callback this thread is running, if any.
thread_local const ControllerHandle* t_inCallback = nullptr;

// Counts a delivery in for the duration of the callback. Close marks the
// record closed before it waits for the count to drop, and a delivery counts
// itself in before it tests the record: one of them sees the other (both
// use sequentially consistent order).
class CallbackEntry {
public:
    explicit CallbackEntry(ControllerHandle& h) : h_(h) { h_.callbacksRunning.fetch_add(1, std::memory_order_seq_cst); }
    ~CallbackEntry() { h_.callbacksRunning.fetch_sub(1, std::memory_order_seq_cst); }
    bool open() const { return h_.magic.load(std::memory_order_seq_cst) == kHandleMagic; }

private:
    ControllerHandle& h_;
};

inline constexpr uint32_t kCallbackPollMs = 1;

// The sink of the callback text: the handle's auto-upload callback.
void deliverText(ControllerHandle& h, const uint8_t* pkt, uint16_t length) {
    CallbackEntry entry(h);
    if (!entry.open()) return;
    TVX_AutoUpCallback callback = h.autoUpCallback.load(std::memory_order_acquire);
    if (!callback) return;
    // The text is terminated in a copy: the packet may end at the very end of
    // the receive buffer, where writing a terminator would corrupt the record.
    char text[kBufferSize + 1];
    const uint32_t n = length - packet::replyHeaderLength;
    std::memcpy(text, pkt + packet::dataOffset, n);
    text[n] = 0;
    const ControllerHandle* outer = t_inCallback;
    t_inCallback = &h;
    callback(toApi(&h), getI32(pkt + packet::statusOffset), static_cast<int32_t>(n), text);
    t_inCallback = outer;
}

// Where each kind of pushed packet goes, and the least length (header and
// data) a packet of it must have.
struct SinkEntry {
    uint16_t command;
    uint16_t minimumLength;
    std::atomic<PushedPacketSink> sink;
};

SinkEntry g_sinks[] = {
    {req::pushedText, packet::replyHeaderLength, {deliverText}},
    {req::pushedCycleBlock, packet::replyHeaderLength + 1, {nullptr}},
};

SinkEntry* entryFor(uint16_t command) {
    for (SinkEntry& e : g_sinks)
        if (e.command == command) return &e;
    return nullptr;
}

}  // namespace

bool setPushedPacketSink(uint16_t command, PushedPacketSink sink) {
    SinkEntry* e = entryFor(command);
    if (!e) return false;
    e->sink.store(sink, std::memory_order_release);
    return true;
}

PushedPacketSink pushedPacketSink(uint16_t command) {
    const SinkEntry* e = entryFor(command);
    return e ? e->sink.load(std::memory_order_acquire) : nullptr;
}

void waitForCallbacks(ControllerHandle& h) {
    const uint32_t own = t_inCallback == &h ? 1 : 0;
    while (h.callbacksRunning.load(std::memory_order_seq_cst) > own) platform::systemSleepMs(kCallbackPollMs);
}

void handleUnsolicited(CommandChannel& ch, const uint8_t* pkt, uint32_t available) {
    ControllerHandle& h = ownerOf(ch);
    h.unsolicitedCount.fetch_add(1, std::memory_order_relaxed);
    if (available < packet::headerLength) return;
    const uint16_t length = getU16(pkt);
    const uint16_t command = getU16(pkt + packet::commandOffset);
    const uint16_t sequence = getU16(pkt + packet::sequenceOffset);
    if (sequence == h.lastUnsolicitedSeq) return;  // a repeat
    if (length <= available) {
        if (const SinkEntry* e = entryFor(command); e && length >= e->minimumLength) {
            if (PushedPacketSink sink = e->sink.load(std::memory_order_acquire)) sink(h, pkt, length);
        }
    }
    h.lastUnsolicitedSeq = sequence;
}

}  // namespace tvx
