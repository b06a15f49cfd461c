#include "server/faults.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"

namespace tvx::sim {

uint64_t SeededRandom::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool SeededRandom::chance(double share) {
    // 53 random bits give a uniform double in [0, 1).
    const double u = static_cast<double>(next() >> 11) * 0x1.0p-53;
    return u < share;
}

uint32_t SeededRandom::below(uint32_t bound) {
    const uint64_t v = next();
    return bound == 0 ? 0 : static_cast<uint32_t>(v % bound);
}

ReplyFate FaultInjector::replyFate() {
    ReplyFate f;
    if (faultless_) return f;
    f.drop = random_.chance(plan_.dropReplies);
    f.duplicate = random_.chance(plan_.duplicateReplies);
    f.hold = random_.chance(plan_.reorderReplies);
    f.noise = random_.chance(plan_.noise);
    f.corrupt = random_.chance(plan_.corruptReplies);
    f.corruptAt = random_.below(0xFFFFFFFFu);
    f.corruptMask = static_cast<uint8_t>(1u + random_.below(255));
    f.delayMs = plan_.delayMs + random_.below(plan_.jitterMs + 1);
    return f;
}

size_t FaultInjector::makeNoise(const uint8_t* reply, size_t n, uint8_t* out, size_t capacity) {
    const bool staleCopy = random_.chance(0.5);
    // An MBAP reply carries its packet's sequence at byte 6 + 2 + 4.
    constexpr size_t kSequenceAt = 12;
    if (staleCopy && n >= kSequenceAt + 2 && n <= capacity) {
        std::memcpy(out, reply, n);
        putU16(out + kSequenceAt, static_cast<uint16_t>(getU16(out + kSequenceAt) ^ (1 + random_.below(0xFFFF))));
        return n;
    }
    const size_t length = std::min<size_t>(capacity, 1 + random_.below(64));
    for (size_t i = 0; i < length; ++i) out[i] = static_cast<uint8_t>(random_.next());
    return length;
}

}  // namespace tvx::sim
