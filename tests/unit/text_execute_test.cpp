// Text commands end to end: the library's exports against the simulated
// controller's console over the in-process link, in both framings.
#include <gtest/gtest.h>

#include <cstring>
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

using testing::argumentsOf;
using testing::argumentsWith;
using testing::Bytes;
using testing::commandOf;
using testing::commandsOf;
using testing::InProcessController;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

class TextCommands : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(true, 5000), 0); }
    sim::interp::Console& console() { return c.controller.console(); }
    std::vector<double>& vr() { return console().interpreter().variables().vr(); }
    size_t mark() const { return c.requests.size(); }

    InProcessController c{GetParam()};
};

TEST_P(TextCommands, ExecuteRunsTheExampleExchangeInOrder) {
    vr()[0] = 12.5;
    console().settings().pieceBytes = 3;  // "12.5\n" comes in two pieces
    const size_t from = mark();
    char answer[32];
    ASSERT_EQ(TVX_Execute(c.handle, "?VR(0)\n", 1000, answer, sizeof answer), 0);
    EXPECT_STREQ(answer, "12.5\n");
    ASSERT_EQ(commandsOf(c.requests, from), (std::vector<uint16_t>{4, 3, 2, 4, 4}));
    for (size_t i : {0, 1, 3, 4}) EXPECT_EQ(getU16(c.requests[from + i].data()), 6) << i;
    const Bytes& text = c.requests[from + 2];
    EXPECT_EQ(getU16(text.data()), 13);
    EXPECT_EQ(argumentsOf(text), bytesOf("?VR(0)\n"));
}

TEST_P(TextCommands, TextGoesOutWithItsTerminatorUnlessItEndsInALineFeed) {
    const struct {
        const char* text;
        std::string wire;
    } cases[] = {
        {"ab\n", "ab\n"},
        {"ab", std::string("ab\0", 3)},
        {"", std::string(1, '\0')},
    };
    for (const auto& k : cases) {
        const size_t from = mark();
        ASSERT_EQ(TVX_ExecuteNoAck(c.handle, k.text, 1000), 0) << k.text;
        EXPECT_EQ(commandsOf(c.requests, from), (std::vector<uint16_t>{3, 2})) << k.text;
        EXPECT_EQ(argumentsOf(c.requests.back()), bytesOf(k.wire)) << k.text;
    }
}

TEST_P(TextCommands, LongTextIsChunkedToTheFreeSpace) {
    console().settings().bufferCapacity = 10;
    const std::string command = "VR(1)=10+2+3+4+5+6+7+8+9\n";
    ASSERT_EQ(command.size(), 25u);
    const size_t from = mark();
    char answer[16];
    ASSERT_EQ(TVX_Execute(c.handle, command.c_str(), 1000, answer, sizeof answer), 0);
    EXPECT_STREQ(answer, "");
    EXPECT_EQ(vr()[1], 54.0);
    std::vector<size_t> chunks;
    std::string joined;
    for (const Bytes& a : argumentsWith(std::vector<Bytes>(c.requests.begin() + from, c.requests.end()), 2)) {
        chunks.push_back(a.size());
        joined.append(a.begin(), a.end());
    }
    EXPECT_EQ(chunks, (std::vector<size_t>{10, 10, 5}));
    EXPECT_EQ(joined, command);
}

TEST_P(TextCommands, GetReceiveJoinsPiecesInOrder) {
    console().settings().pieceBytes = 4;
    ASSERT_EQ(TVX_ExecuteNoAck(c.handle, "PRINT \"abcdefghij\"", 1000), 0);
    const size_t from = mark();
    char answer[32];
    uint32_t length = 0;
    uint8_t done = 0;
    ASSERT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, &length, &done), 0);
    EXPECT_EQ(commandsOf(c.requests, from), (std::vector<uint16_t>{4, 4, 4}));  // states 0, 0, 2
    EXPECT_EQ(length, 11u);
    EXPECT_EQ(done, 1);
    EXPECT_STREQ(answer, "abcdefghij\n");
}

TEST_P(TextCommands, AnswerCapacityBoundaries) {
    char answer[8];
    std::memset(answer, '#', sizeof answer);
    ASSERT_EQ(TVX_Execute(c.handle, "?1234", 1000, answer, 5), 0);
    EXPECT_EQ(std::string(answer, 6), "1234\n#");  // exactly full: no terminator
    EXPECT_EQ(TVX_Execute(c.handle, "?12345", 1000, answer, 5), TVX_ERR_BUFFER_TOO_SMALL);

    // Pieces that fitted stay; the one that did not is dropped.
    console().settings().pieceBytes = 3;
    std::memset(answer, '#', sizeof answer);
    EXPECT_EQ(TVX_Execute(c.handle, "?12345", 1000, answer, 5), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(answer, 4), "123#");

    // The user lock was given back on those failures.
    ASSERT_EQ(TVX_ExecuteNoAck(c.handle, "?1234", 1000), 0);
    uint32_t length = 0;
    std::memset(answer, '#', sizeof answer);
    ASSERT_EQ(TVX_ExecuteGetReceive(c.handle, answer, 5, &length, nullptr), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(std::string(answer, 6), "1234\n#");
    ASSERT_EQ(TVX_Execute(c.handle, "?7", 1000, answer, sizeof answer), 0);
    EXPECT_STREQ(answer, "7\n");
}

TEST_P(TextCommands, DirectCommandIsOneExchange) {
    size_t from = mark();
    // Capacity 0 asks for no answer; the response pointer is never touched.
    ASSERT_EQ(TVX_DirectCommand(c.handle, "VR(7)=3", nullptr, 0), 0);
    EXPECT_EQ(vr()[7], 3.0);
    EXPECT_EQ(commandsOf(c.requests, from), (std::vector<uint16_t>{5}));
    EXPECT_EQ(argumentsOf(c.requests.back()), bytesOf(std::string("VR(7)=3\0", 8)));

    char answer[16];
    ASSERT_EQ(TVX_DirectCommand(c.handle, "?VR(7)*2", answer, sizeof answer), 0);
    EXPECT_STREQ(answer, "6\n");
    EXPECT_EQ(TVX_DirectCommand(c.handle, "?VR(7)*2", answer, 1), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(TVX_DirectCommand(c.handle, "?nothing", answer, sizeof answer), 2002);  // the controller's status

    // The longest text one request carries on this link, and one more.
    const size_t limit = textPayloadLimit(*validHandle(c.handle)) - 1;
    std::string text;
    while (text.size() + 8 <= limit) text += "VR(0)=1\n";
    text.append(limit - text.size(), ' ');
    EXPECT_EQ(TVX_DirectCommand(c.handle, text.c_str(), nullptr, 0), 0);
    from = mark();
    EXPECT_EQ(TVX_DirectCommand(c.handle, (text + " ").c_str(), nullptr, 0), TVX_CH_CANNOT_FRAME);
    EXPECT_EQ(TVX_DirectCommand(c.handle, std::string(5000, ' ').c_str(), nullptr, 0), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(mark(), from);
}

TEST_P(TextCommands, MissingArgumentsAreRefusedWithoutTraffic) {
    char answer[4];
    uint32_t length = 0;
    const size_t from = mark();
    EXPECT_EQ(TVX_Execute(c.handle, nullptr, 100, answer, sizeof answer), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_Execute(c.handle, "?1", 100, nullptr, 4), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ExecuteNoAck(c.handle, nullptr, 100), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ExecuteGetReceive(c.handle, answer, sizeof answer, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ExecuteGetReceive(c.handle, nullptr, 4, &length, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_DirectCommand(c.handle, nullptr, answer, sizeof answer), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_DirectCommand(c.handle, "?1", nullptr, 4), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(mark(), from);
    // Without a buffer, a command without answer still runs; one with an
    // answer has no room for it.
    EXPECT_EQ(TVX_Execute(c.handle, "VR(0)=5", 100, nullptr, 0), 0);
    EXPECT_EQ(vr()[0], 5.0);
    EXPECT_EQ(TVX_Execute(c.handle, "?VR(0)", 100, nullptr, 0), TVX_ERR_BUFFER_TOO_SMALL);
}

TEST_P(TextCommands, ClosedAndForeignHandlesAreRefused) {
    ASSERT_EQ(TVX_Close(c.handle), 0);
    int foreign = 0;
    for (TVX_HANDLE h : {c.handle, reinterpret_cast<TVX_HANDLE>(&foreign), static_cast<TVX_HANDLE>(nullptr)}) {
        char answer[4];
        uint32_t length = 0;
        EXPECT_EQ(TVX_Execute(h, "?1", 100, answer, sizeof answer), TVX_ERR_INVALID_HANDLE);
        EXPECT_EQ(TVX_ExecuteNoAck(h, "?1", 100), TVX_ERR_INVALID_HANDLE);
        EXPECT_EQ(TVX_ExecuteWaitDown(h, 100), TVX_ERR_INVALID_HANDLE);
        EXPECT_EQ(TVX_ExecuteGetReceive(h, answer, sizeof answer, &length, nullptr), TVX_ERR_INVALID_HANDLE);
        EXPECT_EQ(TVX_ExecuteGetRemainBuffSpace(h), static_cast<uint32_t>(TVX_ERR_INVALID_HANDLE));
        EXPECT_EQ(TVX_DirectCommand(h, "?1", answer, sizeof answer), TVX_ERR_INVALID_HANDLE);
    }
    c.handle = nullptr;
}

TEST_P(TextCommands, RemainingBufferSpace) {
    console().settings().bufferCapacity = 777;
    EXPECT_EQ(TVX_ExecuteGetRemainBuffSpace(c.handle), 777u);
    // A negative report is no space; a failed request reports 0.
    c.filter = [](const Bytes& request, Bytes& reply) {
        if (commandOf(request) == 3) putI32(reply.data() + 10, -5);
        return true;
    };
    EXPECT_EQ(TVX_ExecuteGetRemainBuffSpace(c.handle), 0u);
    c.filter = testing::setStatus(3, 3204);
    EXPECT_EQ(TVX_ExecuteGetRemainBuffSpace(c.handle), 0u);
}

// Only Ethernet links resend within the default budget.
class TextCommandsEthernet : public TextCommands {};

TEST_P(TextCommandsEthernet, ResentTextRequestsActOnce) {
    testing::TestClock clock;
    testing::ScopedClock scoped(clock);
    bool textDropped = false, answerDropped = false;
    // Lose the first reply to the text and to the first answer poll after
    // it: the library resends the identical frames.
    c.filter = [&](const Bytes& request, Bytes&) {
        const uint16_t cmd = commandOf(request);
        if (cmd == 2 && !textDropped) return !(textDropped = true);
        if (cmd == 4 && textDropped && !answerDropped) return !(answerDropped = true);
        return true;
    };
    const uint32_t duplicates = c.model().duplicatesAnswered;
    char answer[16];
    ASSERT_EQ(TVX_Execute(c.handle, "VR(0)=VR(0)+1 : ?VR(0)", 1000, answer, sizeof answer), 0);
    EXPECT_TRUE(textDropped && answerDropped);
    EXPECT_STREQ(answer, "1\n");
    EXPECT_EQ(vr()[0], 1.0);
    EXPECT_EQ(c.model().duplicatesAnswered, duplicates + 2);
}

INSTANTIATE_TEST_SUITE_P(Framings, TextCommands, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });
INSTANTIATE_TEST_SUITE_P(Tcp, TextCommandsEthernet, ::testing::Values(Framing::tcp));

TEST(TextEmbedding, CallerTextWithControlBytesIsRefused) {
    const struct {
        const char* text;
        int32_t result;
    } cases[] = {
        {"secret", 0}, {"", 0}, {"with space ~!", 0}, {"x)\nRUN", TVX_ERR_BAD_ARGUMENT},
        {"a\rb", TVX_ERR_BAD_ARGUMENT}, {"tab\t", TVX_ERR_BAD_ARGUMENT}, {nullptr, TVX_ERR_BAD_ARGUMENT},
    };
    for (const auto& k : cases) EXPECT_EQ(checkEmbeddedText(k.text), k.result) << (k.text ? k.text : "(null)");
}

}  // namespace
}  // namespace tvx
