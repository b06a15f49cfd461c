// Feeds arbitrary frames, in both framings, into the simulated controller
// and checks that every reply fits its buffer and is itself a well-formed
// frame. Input: one flags byte, then frames each preceded by a u16 length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "channel/crc16.h"
#include "engine/controller.h"
#include "engine/framing.h"

namespace {

using namespace tvx;

constexpr uint8_t kRtu = 1;           // RTU framing instead of MBAP
constexpr uint8_t kRepairHeader = 2;  // give each frame a valid CRC or MBAP header
constexpr uint8_t kSmallReply = 4;    // offer a reply buffer of a fuzzed size

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    const Framing framing = flags & kRtu ? Framing::rtu : Framing::tcp;
    // One controller for every run, returned to its first state: building a
    // new one (its screen, its services) would cost more than the run.
    static sim::Controller shared;
    shared.reset();
    sim::Controller* controller = &shared;
    size_t at = 1;
    while (at < size) {
        size_t n = size - at;
        if (n >= 2) {
            n = std::min<size_t>(getU16(data + at), n - 2);
            at += 2;
        }
        std::vector<uint8_t> frame(data + at, data + at + n);
        at += n;
        if (flags & kRepairHeader) {
            if (framing == Framing::rtu && frame.size() >= 2) {
                frame.resize(frame.size() + 2);
                appendCrc16(frame.data(), frame.size() - 2);
            } else if (framing == Framing::tcp && frame.size() >= 8 && frame.size() - 6 <= 0xFFFF) {
                std::memset(frame.data(), 0, 4);
                putBe16(frame.data() + 4, static_cast<uint16_t>(frame.size() - 6));
            }
        }
        // The reply buffer is exactly as large as offered, so any write past
        // it is caught by the address sanitizer.
        size_t capacity = sim::kFrameCapacity;
        if ((flags & kSmallReply) && !frame.empty()) capacity = frame[frame.size() - 1] * 9u % (sim::kFrameCapacity + 1);
        std::unique_ptr<uint8_t[]> reply(new uint8_t[capacity + 1]);
        const size_t length = controller->handleFrame(framing, frame.data(), frame.size(), reply.get(), capacity);
        check(length <= capacity);
        if (length == 0) continue;
        const uint8_t* pdu = nullptr;
        size_t pduLength = 0;
        check(sim::unwrapFrame(framing, reply.get(), length, &pdu, &pduLength));
        check(pduLength >= 3);
        if (pdu[1] == fc::request) check(pduLength >= 2 + packet::replyHeaderLength && getU16(pdu + 2) == pduLength - 2);
    }
    return 0;
}
