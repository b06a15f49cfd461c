#include <gtest/gtest.h>

#include <cstring>

#include "base/bytes.h"
#include "tavrix.h"
#include "support/frames.h"
#include "support/scripted_link.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScriptedChannel;
using testing::TestClock;

constexpr uint16_t kCommand = 116;

// Runs one transaction of request kCommand whose responder is given the
// sequence of the frame it answers; returns the result and the reply area.
struct Exchange {
    int32_t result = -1;
    uint8_t out[packet::areaSize];
};

class ChannelReceive : public ::testing::TestWithParam<Framing> {
protected:
    bool tcp() const { return GetParam() == Framing::tcp; }
    Bytes reply(uint16_t sequence, int32_t status, const Bytes& data = {}, uint8_t station = 254,
                uint16_t command = kCommand) {
        return testing::frameFor(tcp(), station, 72, testing::replyPacket(command, sequence, status, data));
    }
    Exchange run(ScriptedChannel& s, std::function<void(ScriptedChannel&, uint16_t seq)> respond) {
        s.responder = [&](ScriptedChannel& sc, const Bytes& f) { respond(sc, testing::requestSequence(f, tcp())); };
        Bytes req = testing::packetBytes(kCommand, 0, {});
        req.resize(packet::areaSize);
        Exchange x;
        std::memset(x.out, 0xAA, sizeof x.out);
        x.result = transact(s.ch, req.data(), x.out, 1000);
        return x;
    }
    TestClock clock;
    testing::ScopedClock scoped{clock};
};

TEST_P(ChannelReceive, AcceptsMatchingReplyAndCopiesIt) {
    ScriptedChannel s(GetParam());
    Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(seq, 0, {1, 2, 3, 4})); });
    ASSERT_EQ(x.result, 0);
    EXPECT_EQ(getU16(x.out), 14);
    EXPECT_EQ(getI32(x.out + 10), 0x04030201);
}

TEST_P(ChannelReceive, NonZeroStatusIsTheResultAndLeavesReplyAreaUntouched) {
    ScriptedChannel s(GetParam());
    Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(seq, 3204, {9, 9})); });
    EXPECT_EQ(x.result, 3204);
    for (uint8_t b : x.out) ASSERT_EQ(b, 0xAA);
}

TEST_P(ChannelReceive, StationRules) {
    {
        ScriptedChannel s(GetParam());
        setStationId(s.ch, 3);
        EXPECT_EQ(run(s, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(seq, 0, {}, 254)); }).result, 0);
    }
    {
        ScriptedChannel s(GetParam());
        setStationId(s.ch, 3);
        EXPECT_EQ(run(s, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(seq, 0, {}, 3)); }).result, 0);
    }
    {
        ScriptedChannel s(GetParam());
        setStationId(s.ch, 3);
        EXPECT_EQ(run(s, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(seq, 0, {}, 4)); }).result,
                  TVX_CH_NO_REPLY);
    }
}

TEST_P(ChannelReceive, StaleSequenceIsIgnoredWhileTheWaitGoesOn) {
    ScriptedChannel s(GetParam());
    Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) {
        sc.feed(reply(static_cast<uint16_t>(seq - 1), 0, {7, 0, 0, 0}));
        sc.feed(reply(seq, 0, {8, 0, 0, 0}));
    });
    ASSERT_EQ(x.result, 0);
    EXPECT_EQ(x.out[10], 8);

    ScriptedChannel only(GetParam());
    EXPECT_EQ(run(only, [&](ScriptedChannel& sc, uint16_t seq) { sc.feed(reply(static_cast<uint16_t>(seq - 1), 0)); }).result,
              TVX_CH_NO_REPLY);
}

TEST_P(ChannelReceive, UnsolicitedFrameDuringWaitIsDeliveredAndWaitContinues) {
    ScriptedChannel s(GetParam());
    const Bytes pushed = testing::replyPacket(400, 77, 5, {'h', 'i'});
    Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) {
        sc.feed(testing::frameFor(tcp(), 254, 73, pushed));
        sc.feed(reply(seq, 0));
    });
    EXPECT_EQ(x.result, 0);
    ASSERT_EQ(s.unsolicitedPackets.size(), 1u);
    EXPECT_EQ(s.unsolicitedPackets[0], pushed);
}

TEST_P(ChannelReceive, MalformedFramesAreDroppedWithoutHarm) {
    ScriptedChannel s(GetParam());
    Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) {
        // A packet claiming length 6 cannot carry a status.
        sc.feed(testing::frameFor(tcp(), 254, 72, testing::packetBytes(kCommand, seq, {0, 0, 0, 0}, 6)));
        // A packet claiming more bytes than the buffer holds.
        sc.feed(testing::frameFor(tcp(), 254, 72, testing::packetBytes(kCommand, seq, {0, 0, 0, 0}, 2045)));
        // An unknown function code.
        sc.feed(testing::frameFor(tcp(), 254, 0x30, {1, 2, 3}));
        sc.feed(reply(seq, 0, {5}));
    });
    ASSERT_EQ(x.result, 0);
    EXPECT_EQ(x.out[10], 5);
    EXPECT_LE(s.ch.rxPos, kBufferSize);
}

TEST_P(ChannelReceive, FrameSplitOverTwoChunksAssembledOnlyWithinIdleLimit) {
    for (uint32_t gap : {1999u, 2000u}) {
        ScriptedChannel s(GetParam());
        Exchange x = run(s, [&](ScriptedChannel& sc, uint16_t seq) {
            Bytes f = reply(seq, 0, {1, 2, 3, 4, 5, 6});
            sc.feed(Bytes(f.begin(), f.begin() + 9));
            clock.advance(gap);
            sc.feed(Bytes(f.begin() + 9, f.end()));
        });
        EXPECT_EQ(x.result, gap <= 1999 ? 0 : TVX_CH_NO_REPLY) << gap;
    }
}

TEST_P(ChannelReceive, LateReplyCannotSatisfyTheNextTransaction) {
    ScriptedChannel s(GetParam());
    uint16_t first = 0;
    EXPECT_EQ(run(s, [&](ScriptedChannel&, uint16_t seq) { first = seq; }).result, TVX_CH_NO_REPLY);
    // The first request's reply arrives while nothing waits, then the next
    // transaction's controller stays silent.
    s.feed(reply(first, 0));
    EXPECT_EQ(run(s, [&](ScriptedChannel& sc, uint16_t) { sc.feed(reply(first, 0)); }).result, TVX_CH_NO_REPLY);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, ChannelReceive, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

TEST(ChannelReceiveRtu, NoiseAtStationPositionIsSkippedByteByByte) {
    TestClock clock;
    testing::ScopedClock scoped(clock);
    ScriptedChannel s(Framing::rtu);
    s.responder = [&](ScriptedChannel& sc, const Bytes& f) {
        Bytes stream = {0x00, 0x13, 0x48, 0x77};
        Bytes frame = testing::rtuFrame(254, 72, testing::replyPacket(kCommand, testing::requestSequence(f, false), 0, {42}));
        stream.insert(stream.end(), frame.begin(), frame.end());
        sc.feed(stream);
    };
    Bytes req = testing::packetBytes(kCommand, 0, {});
    req.resize(packet::areaSize);
    uint8_t out[packet::areaSize];
    ASSERT_EQ(transact(s.ch, req.data(), out, 1000), 0);
    EXPECT_EQ(out[10], 42);
}

TEST(ChannelReceiveRtu, CrcMismatchDropsTheFrame) {
    TestClock clock;
    testing::ScopedClock scoped(clock);
    ScriptedChannel s(Framing::rtu);
    s.responder = [&](ScriptedChannel& sc, const Bytes& f) {
        Bytes frame = testing::rtuFrame(254, 72, testing::replyPacket(kCommand, testing::requestSequence(f, false), 0));
        frame.back() ^= 0xFF;
        EXPECT_EQ(sc.feed(frame), TVX_CH_BAD_FRAME);
    };
    Bytes req = testing::packetBytes(kCommand, 0, {});
    req.resize(packet::areaSize);
    uint8_t out[packet::areaSize];
    EXPECT_EQ(transact(s.ch, req.data(), out, 1000), TVX_CH_NO_REPLY);
}

}  // namespace
}  // namespace tvx
