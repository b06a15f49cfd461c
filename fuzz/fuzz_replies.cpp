// The reply parsers above the framing: a handle over the in-process link
// whose every request is answered with the next fuzzed reply (its
// command and sequence made to match, so the channel accepts it). One
// input drives one family of exports: queries, text answers, listings,
// upload blocks, or download starts and transfer states (reply_families.h).
//
// Input: byte 0 picks the family; then replies, each a control byte (bit 0:
// keep the fuzzed length field) and a u16 count of the packet bytes after
// the 6-byte header. When the input runs out the controller answers with an
// error status, so every call ends quickly. The library runs on the test
// clock: a reply the channel refuses costs its timeout in virtual time only,
// and every exchange takes a virtual millisecond, so that calls polling
// until a time limit (command text) end after a bounded number of polls.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "channel/crc16.h"
#include "engine/controller.h"
#include "engine/inprocess_link.h"
#include "frame/library_frame.h"
#include "reply_families.h"
#include "support/test_clock.h"
#include "tavrix.h"

namespace {

using namespace tvx;

struct Replies {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
};
Replies g_replies;
testing::TestClock g_clock;

size_t mbapBytes(Framing f) { return f == Framing::tcp ? 6 : 0; }

// Builds the reply frame for `request` from the next fuzzed reply.
size_t fuzzedReply(void* context, const uint8_t* request, size_t requestLength, uint8_t* reply, size_t, size_t capacity) {
    const auto& link = *static_cast<sim::InProcessLink*>(context);
    g_clock.advance(1);
    const size_t hdr = mbapBytes(link.framing);
    const size_t trailer = link.framing == Framing::tcp ? 0 : 2;
    if (requestLength < hdr + 2 + 6 + trailer) return 0;
    const uint8_t* reqPacket = request + hdr + 2;
    uint8_t packet[2048] = {};
    size_t n = 10;
    bool keepLength = false;
    Replies& r = g_replies;
    if (r.at + 3 <= r.size) {
        keepLength = r.data[r.at] & 1;
        size_t body = getU16(r.data + r.at + 1);
        r.at += 3;
        if (body > r.size - r.at) body = r.size - r.at;
        if (body > sizeof packet - 6) body = sizeof packet - 6;
        std::memcpy(packet + 6, r.data + r.at, body);
        r.at += body;
        n = 6 + body;
    } else {
        putI32(packet + 6, 0x0C0C);  // out of replies: a controller error
    }
    if (!keepLength) putU16(packet, static_cast<uint16_t>(n));
    else if (n >= 8) putU16(packet, getU16(packet + 6));  // a length taken from the fuzzed bytes
    putU16(packet + 2, getU16(reqPacket + 2));
    putU16(packet + 4, getU16(reqPacket + 4));
    // Frame it as the controller would.
    if (n + hdr + 2 + trailer > capacity) return 0;
    uint8_t* out = reply;
    if (hdr) {
        out[0] = out[1] = out[2] = out[3] = 0;
        out[4] = static_cast<uint8_t>((n + 2) >> 8);
        out[5] = static_cast<uint8_t>(n + 2);
    }
    out[hdr] = request[hdr];
    out[hdr + 1] = 72;
    std::memcpy(out + hdr + 2, packet, n);
    size_t total = hdr + 2 + n;
    if (trailer) {
        appendCrc16(out, total);
        total += 2;
    }
    return total;
}

struct Fixture {
    sim::Controller controller;
    sim::InProcessLink link;
    TVX_HANDLE handle = nullptr;
    explicit Fixture(Framing f) {
        link.controller = &controller;
        link.framing = f;
        if (sim::openInProcess(link, &handle, true, 40) != 0) std::abort();
        link.filterContext = this;
        link.requestFilter = answerInstead;
    }

    // Answers every request with the next fuzzed reply in place of the
    // controller, which then never runs: its work (a screen repaint, a
    // download into its store) would cost more than the parsing under test.
    static bool answerInstead(void* context, const uint8_t* request, size_t requestLength) {
        auto& self = *static_cast<Fixture*>(context);
        uint8_t reply[sim::kFrameCapacity];
        const size_t n = fuzzedReply(&self.link, request, requestLength, reply, 0, sizeof reply);
        if (n > 0) sim::feedInProcess(self.handle, reply, n);
        return false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const testing::ScopedClock virtualTime(g_clock);
    static const bool loaded = (libraryLoad(), true);
    static Fixture tcp(Framing::tcp);
    static Fixture rtu(Framing::rtu);
    (void)loaded;
    if (size < 1) return 0;
    g_replies = Replies{data + 1, size - 1, 0};
    TVX_HANDLE h = (data[0] & 0x80) ? rtu.handle : tcp.handle;
    fuzzing::kReplyFamilies[(data[0] & 0x7F) % fuzzing::kReplyFamilyCount](h);
    g_replies = Replies{};
    return 0;
}
