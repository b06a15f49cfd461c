#include <gtest/gtest.h>

#include <vector>

#include "base/bytes.h"
#include "support/frames.h"
#include "support/scripted_link.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ScriptedChannel;
using testing::TestClock;

class ChannelRetries : public ::testing::Test {
protected:
    int32_t runSilent(ScriptedChannel& s, uint32_t budget) {
        Bytes req = testing::packetBytes(1, 0, {});
        req.resize(packet::areaSize);
        uint8_t out[packet::areaSize];
        return transact(s.ch, req.data(), out, budget);
    }
    TestClock clock;
    testing::ScopedClock scoped{clock};
};

// The waits double from 30 ms; the last is cut to what is left of the
// budget, so a silent controller costs the budget and no more.
TEST_F(ChannelRetries, EthernetResendsIdenticalFrameUntilTheBudgetIsSpent) {
    const struct {
        uint32_t budget;
        std::vector<uint32_t> gaps;  // between one send and the next
    } cases[] = {{5000, {30, 60, 120, 240, 480, 960, 1920}},
                 {1000, {30, 60, 120, 240, 480}},
                 {500, {30, 60, 120, 240}},
                 {30, {}}};
    for (const auto& k : cases) {
        ScriptedChannel s(Framing::tcp, 20, 30);
        std::vector<uint32_t> sentAt;
        s.responder = [&](ScriptedChannel&, const Bytes&) { sentAt.push_back(clock.now()); };
        const uint64_t before = clock.waitedMs();
        EXPECT_EQ(runSilent(s, k.budget), TVX_CH_NO_REPLY) << k.budget;
        ASSERT_EQ(s.sent.size(), k.gaps.size() + 1) << k.budget;
        for (const Bytes& f : s.sent) EXPECT_EQ(f, s.sent[0]);
        std::vector<uint32_t> gaps;
        for (size_t i = 1; i < sentAt.size(); ++i) gaps.push_back(sentAt[i] - sentAt[i - 1]);
        EXPECT_EQ(gaps, k.gaps) << k.budget;
        EXPECT_EQ(clock.waitedMs() - before, k.budget);
    }
}

TEST_F(ChannelRetries, SerialSendsOnceAndEachWaitIsCappedByTheBudget) {
    ScriptedChannel s(Framing::rtu, 2, 5000);
    EXPECT_EQ(runSilent(s, 5000), TVX_CH_NO_REPLY);
    EXPECT_EQ(s.sent.size(), 1u);
    EXPECT_EQ(clock.waitedMs(), 5000u);

    ScriptedChannel probe(Framing::rtu, 2, 5000);
    const uint64_t before = clock.waitedMs();
    EXPECT_EQ(runSilent(probe, 300), TVX_CH_NO_REPLY);
    EXPECT_EQ(probe.sent.size(), 1u);
    EXPECT_EQ(clock.waitedMs() - before, 300u);
}

TEST_F(ChannelRetries, LateReplyToAnEarlierAttemptIsAccepted) {
    ScriptedChannel s(Framing::tcp, 20, 30);
    s.responder = [&](ScriptedChannel& sc, const Bytes& f) {
        // The controller answers only the third copy's arrival, with the
        // sequence all copies share.
        if (sc.sent.size() == 3)
            sc.feed(testing::tcpFrame(254, 72, testing::replyPacket(1, testing::requestSequence(f, true), 0, {6})));
    };
    Bytes req = testing::packetBytes(1, 0, {});
    req.resize(packet::areaSize);
    uint8_t out[packet::areaSize];
    ASSERT_EQ(transact(s.ch, req.data(), out, 5000), 0);
    EXPECT_EQ(out[10], 6);
    EXPECT_EQ(s.sent.size(), 3u);
}

TEST_F(ChannelRetries, FailingSendEndsAtOnceWithTheLinkCode) {
    ScriptedChannel s(Framing::tcp, 20, 30);
    s.sendResult = TVX_ERR_LINK_WRITE;
    EXPECT_EQ(runSilent(s, 5000), TVX_ERR_LINK_WRITE);
    EXPECT_EQ(clock.waitedMs(), 0u);
    EXPECT_EQ(s.ch.waiting.load(), 0);
}

// Standard Modbus functions.
class StandardFunctions : public ChannelRetries {
protected:
    ScriptedChannel s{Framing::rtu, 1, 100};
    void answerWith(Bytes body, uint8_t function = 0) {
        s.responder = [body, function](ScriptedChannel& sc, const Bytes& f) {
            sc.feed(testing::rtuFrame(f[0], function ? function : f[1], body));
        };
    }
};

TEST_F(StandardFunctions, WriteLimitsAndZeroCounts) {
    std::vector<uint16_t> words(124, 0x1234);
    std::vector<uint8_t> bits(247, 0xFF);
    answerWith({0, 0, 0, 0});
    EXPECT_EQ(writeRegisters(s.ch, 0, 123, words.data(), 100), 0);
    EXPECT_EQ(s.sent.back()[6], 246);  // byte count of 123 registers
    EXPECT_EQ(writeRegisters(s.ch, 0, 124, words.data(), 100), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(writeCoils(s.ch, 0, 1968, bits.data(), 100), 0);
    EXPECT_EQ(s.sent.back()[6], 246);
    EXPECT_EQ(writeCoils(s.ch, 0, 1969, bits.data(), 100), TVX_CH_CANNOT_FRAME);
    // Counts that wrap a 16-bit register count are refused, not sent as 0.
    EXPECT_EQ(writeRegisters(s.ch, 0, 32768u * 2, words.data(), 100), TVX_CH_CANNOT_FRAME);
    const size_t sends = s.sent.size();
    uint16_t w[1];
    uint8_t b[1];
    EXPECT_EQ(readHoldingRegisters(s.ch, 0, 0, w, 100), 0);
    EXPECT_EQ(readCoils(s.ch, 0, 0, b, 100), 0);
    EXPECT_EQ(writeRegisters(s.ch, 0, 0, w, 100), 0);
    EXPECT_EQ(writeCoils(s.ch, 0, 0, b, 100), 0);
    EXPECT_EQ(s.sent.size(), sends);
}

TEST_F(StandardFunctions, SingleWritesUseFunctionsFiveAndSix) {
    answerWith({0, 7, 0xFF, 0});
    uint8_t on = 1;
    ASSERT_EQ(writeCoils(s.ch, 7, 1, &on, 100), 0);
    EXPECT_EQ(s.sent.back(), testing::rtuFrame(254, 5, {0, 7, 0xFF, 0}));
    uint16_t v = 0xBEEF;
    answerWith({0, 9, 0xBE, 0xEF});
    ASSERT_EQ(writeRegisters(s.ch, 9, 1, &v, 100), 0);
    EXPECT_EQ(s.sent.back(), testing::rtuFrame(254, 6, {0, 9, 0xBE, 0xEF}));
}

TEST_F(StandardFunctions, ExceptionRepliesAndWrongFunctions) {
    uint16_t words[2];
    answerWith({2}, 0x83);
    EXPECT_EQ(readHoldingRegisters(s.ch, 0, 2, words, 100), TVX_CH_ILLEGAL_ADDRESS);
    answerWith({4, 0, 1, 0, 2}, 4);
    EXPECT_EQ(readHoldingRegisters(s.ch, 0, 2, words, 100), TVX_CH_NO_REPLY);  // not an answer to function 3
}

TEST_F(StandardFunctions, ReadsCheckByteCountsAndConvert) {
    uint16_t words[2] = {0, 0};
    answerWith({4, 0x12, 0x34, 0xAB, 0xCD});
    ASSERT_EQ(readHoldingRegisters(s.ch, 0, 2, words, 100), 0);
    EXPECT_EQ(words[0], 0x1234);
    EXPECT_EQ(words[1], 0xABCD);
    // A reply longer than asked would overrun the caller's array: refused.
    uint16_t guard[3] = {0, 0, 0x5555};
    answerWith({6, 1, 1, 2, 2, 3, 3});
    EXPECT_EQ(readHoldingRegisters(s.ch, 0, 2, guard, 100), TVX_CH_MISMATCH);
    EXPECT_EQ(guard[2], 0x5555);

    uint8_t bits[2] = {0, 0};
    answerWith({2, 0xFF, 0xFF});
    ASSERT_EQ(readCoils(s.ch, 0, 10, bits, 100), 0);
    EXPECT_EQ(bits[0], 0xFF);
    EXPECT_EQ(bits[1], 0x03);  // bits beyond the count cleared
    answerWith({1, 0xFF});
    EXPECT_EQ(readCoils(s.ch, 0, 10, bits, 100), TVX_CH_MISMATCH);
}

}  // namespace
}  // namespace tvx
