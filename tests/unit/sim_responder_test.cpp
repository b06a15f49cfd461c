#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "engine/controller.h"
#include "channel/request_codes.h"
#include "server/responder.h"

namespace tvx::sim {
namespace {

constexpr Peer kHost{0x7F000001, 40000};

// An MBAP function-72 request frame for `command` with `args`.
std::vector<uint8_t> request(uint16_t command, uint16_t sequence, std::vector<uint8_t> args = {}, uint8_t station = 254) {
    const size_t length = 6 + args.size();
    std::vector<uint8_t> f(8 + length);
    putBe16(f.data() + 4, static_cast<uint16_t>(length + 2));
    f[6] = station;
    f[7] = 72;
    putU16(f.data() + 8, static_cast<uint16_t>(length));
    putU16(f.data() + 10, command);
    putU16(f.data() + 12, sequence);
    if (!args.empty()) std::memcpy(f.data() + 14, args.data(), args.size());
    return f;
}

struct Rig {
    Controller controller;
    std::vector<std::string> traceLines;
    Responder responder;
    explicit Rig(const FaultPlan& plan = {})
        : responder(controller, plan, "127.0.0.21", [this](const std::string& l) { traceLines.push_back(l); }) {}

    void send(const std::vector<uint8_t>& d, uint32_t now = 0, Peer from = kHost) {
        responder.receive(d.data(), d.size(), from, now);
    }
    std::vector<Datagram> due(uint32_t now) {
        std::vector<Datagram> out;
        responder.takeDue(now, out);
        return out;
    }
};

TEST(SimResponder, AnswersProbesAndFramesToTheSender) {
    Rig rig;
    rig.send(std::vector<uint8_t>{'G', 'e', 't', ' ', 'I', 'P', 'A', 'd', 'd', 'r'});
    rig.send(request(1, 0x1234, {}, 7));
    auto out = rig.due(0);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(std::string(out[0].bytes.begin(), out[0].bytes.end()), "127.0.0.21");
    for (const Datagram& d : out) {
        EXPECT_EQ(d.to.ip, kHost.ip);
        EXPECT_EQ(d.to.port, kHost.port);
    }
    const std::vector<uint8_t>& r = out[1].bytes;
    ASSERT_EQ(r.size(), 8u + 12u);
    EXPECT_EQ(getBe16(r.data() + 4), r.size() - 6);
    EXPECT_EQ(r[6], 7);  // the request's station
    EXPECT_EQ(getU16(r.data() + 10), 1);
    EXPECT_EQ(getU16(r.data() + 12), 0x1234);
    EXPECT_EQ(getI32(r.data() + 14), 0);
    EXPECT_FALSE(rig.traceLines.empty());
    EXPECT_EQ(rig.traceLines[0].substr(0, 2), "rx");
}

TEST(SimResponder, ARecycledReplyBufferCarriesOnlyTheNewReply) {
    Rig rig;
    rig.send(request(1, 1));  // a 20-byte reply
    auto first = rig.due(0);
    ASSERT_EQ(first.size(), 1u);
    rig.responder.recycle(first);
    EXPECT_TRUE(first.empty());
    rig.send(std::vector<uint8_t>{'G', 'e', 't', ' ', 'I', 'P', 'A', 'd', 'd', 'r'});  // a 10-byte answer
    auto out = rig.due(0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(std::string(out[0].bytes.begin(), out[0].bytes.end()), "127.0.0.21");
}

TEST(SimResponder, NeverSendsBeyondLoopback) {
    Rig rig;
    rig.send(request(1, 1), 0, Peer{0x0A000001, 502});  // 10.0.0.1
    rig.send(request(1, 2), 0, Peer{0xC0000202, 502});  // 192.0.2.2
    rig.send(request(1, 3), 0, Peer{0, 5000});          // broadcast source on a loopback-only host
    auto out = rig.due(0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].to.ip, 0u);
    EXPECT_EQ(rig.responder.stats().refused, 2u);
    EXPECT_TRUE(isLocalDestination(0x7F123456));
    EXPECT_FALSE(isLocalDestination(0x80000001));
}

TEST(SimResponder, SilentAnswersNothing) {
    FaultPlan plan;
    plan.silent = true;
    Rig rig(plan);
    rig.send(std::vector<uint8_t>{'G', 'e', 't'});
    rig.send(request(120, 1, {5, 0, 1}));
    EXPECT_TRUE(rig.due(1000).empty());
    EXPECT_EQ(rig.responder.stats().received, 2u);
}

TEST(SimResponder, ProbesHaveTheirOwnFaultShare) {
    const std::vector<uint8_t> probe{'G', 'e', 't', ' ', 'I', 'P', 'A', 'd', 'd', 'r'};
    FaultPlan frameFaults;
    frameFaults.dropRequests = frameFaults.dropReplies = 1.0;
    frameFaults.delayMs = 500;
    Rig spared(frameFaults);
    spared.send(probe);
    spared.send(request(1, 1));
    auto out = spared.due(0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(std::string(out[0].bytes.begin(), out[0].bytes.end()), "127.0.0.21");

    FaultPlan probeFaults;
    probeFaults.dropProbes = 1.0;
    Rig dropped(probeFaults);
    dropped.send(probe);
    dropped.send(request(1, 1));
    out = dropped.due(0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(getU16(out[0].bytes.data() + 10), 1);
    EXPECT_EQ(dropped.responder.stats().droppedProbes, 1u);
}

TEST(SimResponder, DelayedRepliesWaitTheirTime) {
    FaultPlan plan;
    plan.delayMs = 40;
    Rig rig(plan);
    rig.send(request(1, 1), 0xFFFFFFF0u);  // across the tick's wrap
    EXPECT_EQ(rig.responder.msUntilDue(0xFFFFFFF0u, 100), 40u);
    EXPECT_TRUE(rig.due(0xFFFFFFF0u + 39).empty());
    EXPECT_EQ(rig.due(0xFFFFFFF0u + 40).size(), 1u);
    EXPECT_EQ(rig.responder.msUntilDue(0, 100), 100u);
}

TEST(SimResponder, DroppedReplyStillActsAndTheResendIsAnswered) {
    FaultPlan plan;
    plan.dropReplies = 1.0;
    Rig rig(plan);
    rig.send(request(120, 9, {5, 0, 1}));  // output 5 on
    EXPECT_TRUE(rig.due(0).empty());
    EXPECT_TRUE(rig.controller.model().output(5));

    // The host resends the identical frame; this simulator now answers it
    // from memory without acting again.
    FaultPlan clean;
    Responder again(rig.controller, clean, "127.0.0.21");
    const auto frame = request(120, 9, {5, 0, 1});
    const uint32_t acted = rig.controller.model().requestsActedOn;
    again.receive(frame.data(), frame.size(), kHost, 0);
    std::vector<Datagram> out;
    again.takeDue(0, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(getU16(out[0].bytes.data() + 12), 9);
    EXPECT_EQ(rig.controller.model().requestsActedOn, acted);
}

TEST(SimResponder, ResendsAreRecognisedPerSender) {
    // Every host process starts its sequence afresh: a later process's
    // identical request must be acted on, only the same sender's resend is
    // answered from memory.
    Rig rig;
    const Peer first{0x7F000001, 40001}, setter{0x7F000001, 40002}, later{0x7F000001, 40003};
    const auto readOut3 = request(122, 4, {3, 0});
    auto output3 = [&](Peer from) {
        rig.send(readOut3, 0, from);
        auto out = rig.due(0);
        EXPECT_EQ(out.size(), 1u);
        return out.empty() ? -1 : out[0].bytes.at(18);
    };
    EXPECT_EQ(output3(first), 0);
    rig.send(request(120, 4, {3, 0, 1}), 0, setter);  // same sequence, output 3 on
    EXPECT_EQ(rig.due(0).size(), 1u);
    EXPECT_TRUE(rig.controller.model().output(3));
    EXPECT_EQ(output3(later), 1);
    const uint32_t answered = rig.controller.model().duplicatesAnswered;
    EXPECT_EQ(output3(first), 0);  // the first sender's resend: its own reply again
    EXPECT_EQ(rig.controller.model().duplicatesAnswered, answered + 1);
}

TEST(SimResponder, ReplyFaultsShapeTheOutput) {
    const auto clean = [] {
        Rig rig;
        rig.send(request(115, 3));
        return rig.due(0).at(0).bytes;
    }();
    {  // duplicate: the same reply twice
        FaultPlan plan;
        plan.duplicateReplies = 1.0;
        Rig rig(plan);
        rig.send(request(115, 3));
        auto out = rig.due(0);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[0].bytes, clean);
        EXPECT_EQ(out[1].bytes, clean);
    }
    {  // corrupt: exactly one byte differs
        FaultPlan plan;
        plan.corruptReplies = 1.0;
        Rig rig(plan);
        rig.send(request(115, 3));
        auto out = rig.due(0);
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(out[0].bytes.size(), clean.size());
        int differing = 0;
        for (size_t i = 0; i < clean.size(); ++i) differing += out[0].bytes[i] != clean[i];
        EXPECT_EQ(differing, 1);
    }
    {  // noise: something that is not the reply goes first
        FaultPlan plan;
        plan.noise = 1.0;
        Rig rig(plan);
        rig.send(request(115, 3));
        auto out = rig.due(0);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_NE(out[0].bytes, clean);
        EXPECT_EQ(out[1].bytes, clean);
    }
}

TEST(SimResponder, ReorderSwapsWithTheNextReplyOrTimesOut) {
    FaultPlan plan;
    plan.reorderReplies = 1.0;
    Rig rig(plan);
    rig.send(request(1, 1), 0);
    EXPECT_TRUE(rig.due(0).empty());
    rig.send(request(1, 2), 5);
    auto out = rig.due(5);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(getU16(out[0].bytes.data() + 12), 2);
    EXPECT_EQ(getU16(out[1].bytes.data() + 12), 1);

    // A held reply with nothing after it still leaves within the hold limit.
    rig.send(request(1, 3), 100);
    EXPECT_TRUE(rig.due(100 + Responder::kMaxHoldMs - 1).empty());
    EXPECT_EQ(rig.responder.msUntilDue(100, 1000), Responder::kMaxHoldMs);
    EXPECT_EQ(rig.due(100 + Responder::kMaxHoldMs).size(), 1u);
}

// Every fault at once, over a stream of requests and probes: what goes out
// and when, as one comparable record.
std::vector<std::string> faultyRun(uint64_t seed, ResponderStats* stats = nullptr) {
    FaultPlan plan;
    plan.seed = seed;
    plan.dropRequests = plan.dropReplies = plan.duplicateReplies = 0.2;
    plan.reorderReplies = plan.corruptReplies = plan.noise = plan.dropProbes = 0.2;
    plan.delayMs = 3;
    plan.jitterMs = 10;
    Rig rig(plan);
    std::vector<std::string> record;
    for (uint32_t t = 0; t < 600; ++t) {
        if (t % 7 == 0)
            rig.send(std::vector<uint8_t>{'G', 'e', 't', ' ', 'I', 'P', 'A', 'd', 'd', 'r'}, t);
        else
            rig.send(request(static_cast<uint16_t>(t % 2 ? 1 : 121), static_cast<uint16_t>(t), {static_cast<uint8_t>(t), 0}), t);
        for (const Datagram& d : rig.due(t)) record.push_back(std::to_string(t) + traceLine("", d.to, d.bytes.data(), d.bytes.size()));
    }
    for (const Datagram& d : rig.due(10000)) record.push_back("end" + traceLine("", d.to, d.bytes.data(), d.bytes.size()));
    if (stats) *stats = rig.responder.stats();
    return record;
}

TEST(SimResponder, SeededFaultsRepeatExactly) {
    ResponderStats stats;
    const auto first = faultyRun(42, &stats);
    EXPECT_EQ(faultyRun(42), first);
    EXPECT_NE(faultyRun(43), first);
    // Each fault happened about as often as asked (0.2 of about 500 frames
    // and 86 probes).
    for (uint64_t n : {stats.droppedRequests, stats.droppedReplies, stats.duplicated, stats.corrupted, stats.noise}) {
        EXPECT_GT(n, 40u);
        EXPECT_LT(n, 190u);
    }
    EXPECT_GT(stats.reordered, 20u);
    EXPECT_GT(stats.droppedProbes, 5u);
    EXPECT_LT(stats.droppedProbes, 40u);
}

TEST(SimResponder, SurvivesGarbageDatagrams) {
    Rig rig;
    SeededRandom random(7);
    std::vector<uint8_t> d;
    for (int i = 0; i < 3000; ++i) {
        d.resize(random.below(2100));
        for (auto& b : d) b = static_cast<uint8_t>(random.next());
        // Half of them get a plausible MBAP header so they reach the engine.
        if (i % 2 && d.size() >= 8) {
            d[0] = d[1] = d[2] = d[3] = 0;
            putBe16(d.data() + 4, static_cast<uint16_t>(d.size() - 6));
            d[7] = static_cast<uint8_t>(i % 4 == 1 ? 72 : random.below(20));
            if (d.size() >= 14 && i % 8 == 1) putU16(d.data() + 8, static_cast<uint16_t>(d.size() - 8));
        }
        rig.send(d, static_cast<uint32_t>(i));
        for (const Datagram& out : rig.due(static_cast<uint32_t>(i))) {
            EXPECT_LE(out.bytes.size(), kFrameCapacity);
            EXPECT_EQ(out.to.port, kHost.port);
        }
    }
    EXPECT_EQ(rig.responder.stats().received, 3000u);
    EXPECT_GT(rig.responder.stats().frames, 1000u);
    // Still answers properly afterwards.
    rig.send(request(1, 0xBEEF), 5000);
    auto out = rig.due(5000);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(getU16(out[0].bytes.data() + 12), 0xBEEF);
}

// The start of a 40-byte download of "F.BIN", then its blocks of 8 bytes:
// numbers 1 to 4 and 0xFFFF for the last.
std::vector<uint8_t> downloadStart(uint16_t sequence) {
    std::vector<uint8_t> args(8, 0);
    putU32(args.data() + 4, 40);
    for (char c : std::string("F.BIN")) args.push_back(static_cast<uint8_t>(c));
    args.push_back(0);
    return request(req::fileDown, sequence, args);
}
std::vector<uint8_t> downloadBlock(uint16_t sequence, uint16_t number) {
    std::vector<uint8_t> args(4 + 8, static_cast<uint8_t>(number));
    putU16(args.data(), number);
    putU16(args.data() + 2, 8);
    return request(req::fileDown, sequence, args);
}
std::vector<uint16_t> answeredSequences(const std::vector<Datagram>& out) {
    std::vector<uint16_t> sequences;
    for (const Datagram& d : out) sequences.push_back(getU16(d.bytes.data() + 12));
    return sequences;
}

// A host that sends the next block before the answer to the one before it
// went out did not wait for that answer: it is dropped unsent. Answers that
// went out, answers to another host and answers under a fault plan are not.
TEST(SimResponder, ABlockAnswerSupersededBeforeItWentOutIsDropped) {
    const Peer other{0x7F000001, 40001};
    struct Case {
        const char* name;
        FaultPlan plan;
        bool interleaveOtherHost;
        std::vector<uint16_t> answered;
    };
    FaultPlan delayed;
    delayed.delayMs = 1;
    const Case cases[] = {
        {"streamed window", {}, false, {2, 6}},
        {"faults planned", delayed, false, {2, 3, 4, 5, 6}},
        {"another host between", {}, true, {2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.plan);
        rig.send(downloadStart(1));
        ASSERT_EQ(rig.due(5).size(), 1u);  // the start answer went out
        // Blocks 1 (waited for: its answer goes out first), then 2 to 4 and
        // the last streamed in one burst.
        rig.send(downloadBlock(2, 1));
        std::vector<Datagram> out = rig.due(5);
        for (uint16_t n : {2, 3, 4}) {
            rig.send(downloadBlock(static_cast<uint16_t>(n + 1), n));
            if (c.interleaveOtherHost) rig.send(request(req::state, 100 + n), 5, other);
        }
        rig.send(downloadBlock(6, 0xFFFF));
        for (Datagram& d : rig.due(5)) {
            if (d.to.port == kHost.port) out.push_back(std::move(d));
        }
        EXPECT_EQ(answeredSequences(out), c.answered);
        // Every block was acted on, answered or not.
        const auto& files = rig.controller.transfers().files().files();
        ASSERT_EQ(files.count("F.BIN"), 1u);
        EXPECT_EQ(files.at("F.BIN")->size(), 40u);
    }
}

}  // namespace
}  // namespace tvx::sim
