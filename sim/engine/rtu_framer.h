// Cuts the byte stream of a serial line into RTU frames. Lengths come from
// each frame's own header; a frame whose CRC does not match costs only its
// first byte (the search goes on from the next one), so line noise before a
// frame is skipped. A pause longer than the idle limit drops a partial
// frame, as the library's receiver does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"

namespace tvx::sim {

class RtuFramer {
public:
    static constexpr size_t kCapacity = kBufferSize;

    explicit RtuFramer(uint32_t idleLimitMs = kIdleExpiryMs) : idleLimitMs_(idleLimitMs) {}

    // Adds received bytes and calls `onFrame(frame, length)` for each whole
    // frame with a matching CRC, in order.
    template <class OnFrame>
    void feed(const uint8_t* bytes, size_t n, uint32_t nowMs, OnFrame&& onFrame) {
        if (length_ > 0 && static_cast<uint32_t>(nowMs - lastByteMs_) > idleLimitMs_) {
            length_ = 0;
            ++stats.expired;
        }
        if (n > 0) lastByteMs_ = nowMs;
        for (size_t i = 0; i < n; ++i) {
            buffer_[length_++] = bytes[i];
            size_t frameLength;
            while (scan(&frameLength)) {
                onFrame(static_cast<const uint8_t*>(buffer_), frameLength);
                consume(frameLength);
            }
        }
    }

    struct Stats {
        uint64_t frames = 0;
        uint64_t skipped = 0;  // bytes dropped while searching for a frame
        uint64_t expired = 0;  // partial frames dropped after a pause
    } stats;

private:
    // True when a whole frame with a good CRC starts the buffer; drops bytes
    // that cannot start one.
    bool scan(size_t* frameLength);
    // The length of the frame the buffer starts with: 0 while more bytes are
    // needed to tell, SIZE_MAX when no frame can start here.
    size_t expectedLength() const;
    void consume(size_t n);

    uint32_t idleLimitMs_;
    uint32_t lastByteMs_ = 0;
    size_t length_ = 0;
    uint8_t buffer_[kCapacity];
};

}  // namespace tvx::sim
