#include "engine/rtu_framer.h"

#include <cstdint>
#include <cstring>

#include "base/bytes.h"
#include "channel/crc16.h"

namespace tvx::sim {
namespace {

constexpr size_t kNoFrame = SIZE_MAX;
constexpr size_t kCrcBytes = 2;

}  // namespace

size_t RtuFramer::expectedLength() const {
    if (length_ < 2) return 0;
    switch (buffer_[1]) {
        case fc::readCoils:
        case fc::readDiscreteInputs:
        case fc::readHoldingRegisters:
        case fc::readInputRegisters:
        case fc::writeSingleCoil:
        case fc::writeSingleRegister:
            return 6 + kCrcBytes;  // station, function, two words
        case fc::writeMultipleCoils:
        case fc::writeMultipleRegisters:
            // station, function, start, count, byte count, values
            return length_ < 7 ? 0 : 7 + size_t{buffer_[6]} + kCrcBytes;
        case fc::request:
        case fc::unsolicited: {
            if (length_ < 4) return 0;
            const size_t packet = getU16(buffer_ + 2);
            if (packet < tvx::packet::headerLength) return kNoFrame;
            const size_t total = 2 + packet + kCrcBytes;
            return total > kCapacity ? kNoFrame : total;
        }
        default:
            return kNoFrame;
    }
}

bool RtuFramer::scan(size_t* frameLength) {
    while (length_ > 0) {
        const size_t expected = expectedLength();
        if (expected == 0 || (expected != kNoFrame && length_ < expected)) return false;
        if (expected != kNoFrame && crc16Matches(buffer_, expected)) {
            ++stats.frames;
            *frameLength = expected;
            return true;
        }
        // Not a frame here: search on from the next byte.
        consume(1);
        ++stats.skipped;
    }
    return false;
}

void RtuFramer::consume(size_t n) {
    std::memmove(buffer_, buffer_ + n, length_ - n);
    length_ -= n;
}

}  // namespace tvx::sim
