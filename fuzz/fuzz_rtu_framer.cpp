// Feeds arbitrary byte streams through the simulated controller's serial
// framer and checks that every frame it hands out has a length its own
// header explains and a matching CRC. Input: chunks, each preceded by a
// length byte and a byte of milliseconds since the previous chunk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "channel/crc16.h"
#include "engine/rtu_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tvx::sim::RtuFramer framer;
    uint32_t now = 0;
    size_t i = 0;
    while (i + 2 <= size) {
        const size_t n = data[i];
        now += data[i + 1] * 16u;
        i += 2;
        const size_t take = n < size - i ? n : size - i;
        framer.feed(data + i, take, now, [](const uint8_t* frame, size_t length) {
            if (length < 4 || length > tvx::sim::RtuFramer::kCapacity || !tvx::crc16Matches(frame, length))
                std::abort();
        });
        i += take;
    }
    return 0;
}
