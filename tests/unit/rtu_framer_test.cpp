// The simulated controller's cutting of a serial byte stream into frames.
#include <gtest/gtest.h>

#include <vector>

#include "engine/rtu_framer.h"
#include "support/frames.h"

namespace tvx::sim {
namespace {

using testing::Bytes;

Bytes withCrc(Bytes b) {
    const uint16_t crc = testing::referenceCrc(b.data(), b.size());
    b.push_back(static_cast<uint8_t>(crc));
    b.push_back(static_cast<uint8_t>(crc >> 8));
    return b;
}

// A library request frame: station, 72, packet with `argBytes` arguments.
Bytes requestFrame(uint8_t station, uint16_t command, size_t argBytes) {
    Bytes f{station, 72};
    const Bytes p = testing::packetBytes(command, 0x1234, Bytes(argBytes, 0xA5));
    f.insert(f.end(), p.begin(), p.end());
    return withCrc(f);
}

struct Chunk {
    Bytes bytes;
    uint32_t atMs;
};

std::vector<Bytes> frameAll(const std::vector<Chunk>& chunks, RtuFramer& framer) {
    std::vector<Bytes> out;
    for (const Chunk& c : chunks)
        framer.feed(c.bytes.data(), c.bytes.size(), c.atMs,
                    [&](const uint8_t* f, size_t n) { out.emplace_back(f, f + n); });
    return out;
}

Bytes cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }
Bytes tail(const Bytes& b, size_t n) { return Bytes(b.begin() + static_cast<long>(n), b.end()); }

TEST(RtuFramer, CutsStreamsIntoFrames) {
    const Bytes a = requestFrame(1, 109, 4);
    const Bytes b = requestFrame(254, 1, 0);
    const Bytes reg = withCrc({1, 3, 0, 10, 0, 2});                // read two registers
    const Bytes coils = withCrc({1, 15, 0, 0, 0, 9, 2, 0xFF, 1});  // write nine coils
    Bytes corrupt = a;
    corrupt[5] ^= 0x40;
    const struct {
        const char* what;
        std::vector<Chunk> chunks;
        std::vector<Bytes> frames;
    } cases[] = {
        {"two frames in one chunk", {{cat(a, b), 0}}, {a, b}},
        {"standard functions", {{cat(reg, coils), 0}}, {reg, coils}},
        {"noise before a frame", {{cat({0x00, 0x13, 0xFF, 0x48}, a), 0}}, {a}},
        {"a frame byte by byte", {{head(a, 1), 0}, {head(tail(a, 1), 3), 1}, {tail(a, 4), 2}}, {a}},
        {"a gap under the idle limit", {{head(a, 5), 0}, {tail(a, 5), 1500}}, {a}},
        {"a gap over the idle limit", {{head(a, 5), 0}, {tail(a, 5), 2500}, {b, 2600}}, {b}},
        {"a wrong CRC, then a good frame", {{cat(corrupt, b), 0}}, {b}},
        {"a length too large for any frame", {{cat({1, 72, 0xFF, 0xFF}, b), 0}}, {b}},
        {"a length shorter than a header", {{cat({1, 72, 3, 0}, b), 0}}, {b}},
    };
    for (const auto& c : cases) {
        RtuFramer framer;
        EXPECT_EQ(frameAll(c.chunks, framer), c.frames) << c.what;
    }
}

TEST(RtuFramer, LongestFrameFitsAndLongerNeverOverruns) {
    RtuFramer framer;
    const Bytes longest = requestFrame(1, 209, 2044 - 6);  // a packet of 2044 bytes
    ASSERT_EQ(longest.size(), RtuFramer::kCapacity);
    EXPECT_EQ(frameAll({{longest, 0}}, framer), std::vector<Bytes>{longest});
    // A stream of bytes that never forms a frame is dropped as it comes; its
    // end may look like the start of a frame, which the next pause ends.
    const Bytes junk(5000, 0x48);
    const Bytes next = requestFrame(1, 1, 0);
    EXPECT_EQ(frameAll({{junk, 0}, {next, 2500}}, framer), std::vector<Bytes>{next});
    EXPECT_GT(framer.stats.skipped, 4000u);
}

}  // namespace
}  // namespace tvx::sim
