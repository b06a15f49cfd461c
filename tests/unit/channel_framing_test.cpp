#include <gtest/gtest.h>

#include "base/bytes.h"
#include "tavrix.h"
#include "support/frames.h"
#include "support/scripted_link.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScriptedChannel;

// The text request "?VR(0)\n" as the text-command export builds it.
Bytes textRequest() { return testing::packetBytes(2, 0, {0x3F, 0x56, 0x52, 0x28, 0x30, 0x29, 0x0A}); }

TEST(ChannelFraming, WorkedExampleFramesInBothFramings) {
    struct Case {
        Framing framing;
        Bytes expected;
    } cases[] = {
        {Framing::rtu, {0xFE, 0x48, 0x0D, 0x00, 0x02, 0x00, 0x01, 0x00, 0x3F, 0x56, 0x52, 0x28, 0x30, 0x29, 0x0A, 0x8F, 0x13}},
        {Framing::tcp,
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x0F, 0xFE, 0x48, 0x0D, 0x00, 0x02, 0x00, 0x01, 0x00, 0x3F, 0x56, 0x52, 0x28, 0x30,
          0x29, 0x0A}},
    };
    for (const Case& c : cases) {
        ScriptedChannel s(c.framing);
        setSequenceForTests(1);
        Bytes req = textRequest();
        req.resize(packet::areaSize);
        EXPECT_EQ(sendOnly(s.ch, req.data()), 0);
        ASSERT_EQ(s.sent.size(), 1u);
        EXPECT_EQ(s.sent[0], c.expected);
    }
}

TEST(ChannelFraming, SuccessfulReplyFrameCompletesTransaction) {
    ScriptedChannel s(Framing::rtu);
    setSequenceForTests(1);
    const Bytes reply = {0xFE, 0x48, 0x0A, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x5D};
    s.responder = [&](ScriptedChannel& sc, const Bytes&) { sc.feed(reply); };
    Bytes req = textRequest();
    req.resize(packet::areaSize);
    uint8_t out[packet::areaSize] = {};
    ASSERT_EQ(transact(s.ch, req.data(), out, 5000), 0);
    EXPECT_EQ(getU16(out), 10);
    EXPECT_EQ(getU16(out + 2), 2);
    EXPECT_EQ(getU16(out + 4), 1);
}

TEST(ChannelFraming, SixBytePacketOnEthernetIsFourteenBytesWithLengthEight) {
    ScriptedChannel s(Framing::tcp);
    Bytes req = testing::packetBytes(1, 0, {});
    req.resize(packet::areaSize);
    ASSERT_EQ(sendOnly(s.ch, req.data()), 0);
    ASSERT_EQ(s.sent[0].size(), 14u);
    EXPECT_EQ(getBe16(s.sent[0].data() + 4), 8);
}

TEST(ChannelFraming, ReadHoldingRegistersExampleFrame) {
    ScriptedChannel s(Framing::rtu, 1, 10);
    setStationId(s.ch, 1);
    uint16_t words[2];
    testing::TestClock clock;
    testing::ScopedClock scoped(clock);
    EXPECT_EQ(readHoldingRegisters(s.ch, 0, 2, words, 10), TVX_CH_NO_REPLY);
    ASSERT_EQ(s.sent.size(), 1u);
    EXPECT_EQ(s.sent[0], (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B}));
}

TEST(ChannelFraming, SequenceCounterWrapsAndIsSharedAcrossChannels) {
    ScriptedChannel a(Framing::tcp), b(Framing::rtu);
    setSequenceForTests(65535);
    Bytes req = testing::packetBytes(1, 0, {});
    req.resize(packet::areaSize);
    sendOnly(a.ch, req.data());
    sendOnly(b.ch, req.data());
    sendOnly(a.ch, req.data());
    EXPECT_EQ(testing::requestSequence(a.sent[0], true), 65535);
    EXPECT_EQ(testing::requestSequence(b.sent[0], false), 0);
    EXPECT_EQ(testing::requestSequence(a.sent[1], true), 1);
}

TEST(ChannelFraming, RefusesWhatCannotBeFramed) {
    ScriptedChannel rtu(Framing::rtu), tcp(Framing::tcp);
    Bytes req(packet::areaSize, 0);
    uint8_t out[packet::areaSize];
    putU16(req.data(), 2044);
    EXPECT_EQ(sendOnly(rtu.ch, req.data()), 0);  // the largest RTU packet
    EXPECT_EQ(sendOnly(tcp.ch, req.data()), TVX_CH_CANNOT_FRAME);
    putU16(req.data(), 2040);
    EXPECT_EQ(sendOnly(tcp.ch, req.data()), 0);  // the largest TCP packet
    putU16(req.data(), 2045);
    EXPECT_EQ(sendOnly(rtu.ch, req.data()), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(transact(rtu.ch, nullptr, out, 100), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(transact(rtu.ch, req.data(), nullptr, 100), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(setStationId(rtu.ch, 0), TVX_CH_CANNOT_FRAME);

    CommandChannel fresh;
    uint8_t buf[3][kBufferSize];
    EXPECT_EQ(initChannel(fresh, uint8_t{3}, kBufferSize, buf[0], buf[1], buf[2]), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(initChannel(fresh, uint8_t{2}, kBufferSize, buf[0], nullptr, buf[2]), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(initChannel(fresh, uint8_t{2}, kBufferSize, buf[0], buf[1], buf[2]), 0);
    EXPECT_EQ(fresh.stationId, 254);
}

}  // namespace
}  // namespace tvx
