// Time limits and malformed controller answers of the text commands, on a
// virtual clock: every reply costs one millisecond of link time.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "api/text_commands.h"
#include "link/handle_table.h"
#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"
#include "support/test_clock.h"

namespace tvx {
namespace {

using testing::argumentsWith;
using testing::Bytes;
using testing::commandOf;
using testing::InProcessController;

inline constexpr uint32_t kLatencyMs = 1;
// Wraps during the waits that start there.
inline constexpr uint32_t kStartTicks[] = {1000, 0xFFFFFF80u};

class TextLimits : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override {
        ASSERT_EQ(c.open(true, 5000), 0);
        c.filter = [this](const Bytes& request, Bytes& reply) {
            clock.advance(kLatencyMs);
            return rewrite ? rewrite(request, reply) : true;
        };
    }
    sim::interp::ConsoleSettings& settings() { return c.controller.console().settings(); }
    uint32_t since(uint32_t start) { return clock.now() - start; }

    testing::TestClock clock;
    testing::ScopedClock scoped{clock};
    InProcessController c{GetParam()};
    std::function<bool(const Bytes&, Bytes&)> rewrite;
};

TEST_P(TextLimits, NoFreeSpaceEndsAtTheTimeLimit) {
    settings().bufferCapacity = 0;
    for (uint32_t start : kStartTicks) {
        clock.set(start);
        EXPECT_EQ(TVX_ExecuteNoAck(c.handle, "?1", 200), TVX_ERR_TIME_LIMIT) << start;
        EXPECT_GE(since(start), 200u) << start;
        EXPECT_LE(since(start), 200u + kLatencyMs) << start;
        clock.set(start);
        char answer[8];
        EXPECT_EQ(TVX_Execute(c.handle, "?1", 50, answer, sizeof answer), TVX_ERR_TIME_LIMIT) << start;
        EXPECT_LE(since(start), 50u + 2 * kLatencyMs) << start;
    }
    EXPECT_TRUE(argumentsWith(c.requests, 2).empty());
}

TEST_P(TextLimits, ExecuteWaitsForALongCommandWithinItsLimit) {
    settings().commandDelayMs = 500;
    for (uint32_t start : kStartTicks) {
        clock.set(start);
        char answer[8] = {};
        EXPECT_EQ(TVX_Execute(c.handle, "?1", 100, answer, sizeof answer), TVX_ERR_TIME_LIMIT);
        EXPECT_STREQ(answer, "1\n");  // the text that came stays
        EXPECT_LT(since(start), 500u);
        // The next command first waits for the running one, then for its own.
        EXPECT_EQ(TVX_Execute(c.handle, "?2", 1000, answer, sizeof answer), 0);
        EXPECT_STREQ(answer, "2\n");
        EXPECT_GE(since(start), 1000u);
        EXPECT_LT(since(start), 1100u);
    }
}

TEST_P(TextLimits, WaitDownAndReceiveWhileACommandRuns) {
    settings().commandDelayMs = 300;
    for (uint32_t start : kStartTicks) {
        clock.set(start);
        ASSERT_EQ(TVX_ExecuteNoAck(c.handle, "?5", 1000), 0);
        char answer[8];
        uint32_t length = 99;
        uint8_t done = 9;
        ASSERT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, &length, &done), 0);
        EXPECT_EQ(std::string(answer, length), "5\n");
        EXPECT_EQ(done, 0);
        // Nothing more for now, and not finished.
        ASSERT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, &length, &done), 0);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(done, 0);
        EXPECT_EQ(TVX_ExecuteWaitDown(c.handle, 100), TVX_ERR_TIME_LIMIT);
        EXPECT_EQ(TVX_ExecuteWaitDown(c.handle, 1000), 0);
        EXPECT_GE(since(start), 300u);
        EXPECT_LT(since(start), 310u);
    }
}

TEST_P(TextLimits, AnswerPollWithoutStateByteIsRefused) {
    rewrite = testing::cutReply(4, 10);
    char answer[8];
    uint32_t length = 0;
    EXPECT_EQ(TVX_Execute(c.handle, "?1", 100, answer, sizeof answer), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(TVX_ExecuteWaitDown(c.handle, 100), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, &length, nullptr), TVX_ERR_BUFFER_TOO_SMALL);
}

TEST_P(TextLimits, EndlessEmptyMorePiecesAreBoundedByTheTimeout) {
    rewrite = testing::replyWith(4, 0, {0});  // "more text" without any
    const uint32_t start = clock.now();
    char answer[8];
    uint32_t length = 0;
    EXPECT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, &length, nullptr), TVX_ERR_TIME_LIMIT);
    EXPECT_GE(since(start), 5000u);
    EXPECT_LE(since(start), 5000u + 2 * kLatencyMs);
}

TEST_P(TextLimits, ReportedFreeSpaceIsClampedToWhatARequestCarries) {
    // Negative reports count as no space; the next honest one is used.
    int negativeReports = 3;
    rewrite = [&](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == 3 && negativeReports > 0) {
            --negativeReports;
            putI32(reply.data() + 10, -100);
        }
        return true;
    };
    ASSERT_EQ(TVX_ExecuteNoAck(c.handle, "VR(0)=42", 1000), 0);
    EXPECT_EQ(negativeReports, 0);
    EXPECT_EQ(argumentsWith(c.requests, 2).back().size(), 9u);

    // A controller offering a megabyte still gets request-sized chunks.
    settings().bufferCapacity = 100000;
    rewrite = [](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == 3) putI32(reply.data() + 10, 1000000);
        return true;
    };
    std::string text;
    int lines = 0;
    for (; text.size() < 5000; ++lines) text += "VR(1)=VR(1)+1\n";
    const size_t from = c.requests.size();
    ASSERT_EQ(TVX_ExecuteNoAck(c.handle, text.c_str(), 1000), 0);
    const uint32_t limit = textPayloadLimit(*validHandle(c.handle));
    EXPECT_EQ(limit, GetParam() == Framing::tcp ? 2034u : 2038u);
    size_t total = 0;
    for (const Bytes& chunk : argumentsWith(std::vector<Bytes>(c.requests.begin() + from, c.requests.end()), 2)) {
        EXPECT_LE(chunk.size(), limit);
        total += chunk.size();
    }
    EXPECT_EQ(total, text.size());
    EXPECT_EQ(c.controller.console().interpreter().variables().vr()[1], lines);
}

INSTANTIATE_TEST_SUITE_P(Framings, TextLimits, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
