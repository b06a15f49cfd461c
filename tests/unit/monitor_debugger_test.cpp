// The debugger requests and the message drain: request layouts, replies
// shorter than their fields, and a program stopped at a breakpoint in the
// simulated controller.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "engine/program_service.h"
#include "support/opened_controller.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::argumentsWith;
using testing::Bytes;
using testing::commandOf;
using testing::fixLength;

constexpr uint16_t kStepRun = 300;
constexpr uint16_t kStringType = 309;
constexpr uint16_t kEnumLocal = 313;
constexpr uint16_t kReadMessage = 330;
constexpr uint16_t kBreakAdd = 331;
constexpr uint16_t kBreakDelete = 332;

class Debugger : public testing::OpenedController {
protected:
    // Replaces the data of every reply to `command` with `data`.
    void replyWith(uint16_t command, const Bytes& data) {
        c.filter = testing::replyWith(command, 0, data);
    }
};

TEST_P(Debugger, RequestLayouts) {
    ASSERT_EQ(TVX_BreakAdd(c.handle, "main.bas", 0x01020304, 0x1FF), 0);
    EXPECT_EQ(TVX_BreakDel(c.handle, "main.bas", 0x01020304), 0);
    EXPECT_EQ(TVX_StepRun(c.handle, 0x10005, 0x102, 0x103, 0x1AB, -2), 3204);  // task 5 runs nothing
    EXPECT_EQ(TVX_EnumLocal(c.handle, -1, 0x10007, 0x10009, nullptr, nullptr, nullptr), 3204);
    uint16_t type = 0;
    EXPECT_EQ(TVX_GetStringType(c.handle, "VR", 0x10003, &type, nullptr, nullptr), 0);

    EXPECT_EQ(argumentsWith(c.requests, kBreakAdd).at(0), Bytes({4, 3, 2, 1, 0xFF, 'm', 'a', 'i', 'n', '.', 'b', 'a', 's', 0}));
    EXPECT_EQ(argumentsWith(c.requests, kBreakDelete).at(0), Bytes({4, 3, 2, 1, 'm', 'a', 'i', 'n', '.', 'b', 'a', 's', 0}));
    // The fifth argument comes before the fourth, which is its low byte.
    EXPECT_EQ(argumentsWith(c.requests, kStepRun).at(0), Bytes({5, 0, 2, 3, 0xFE, 0xFF, 0xFF, 0xFF, 0xAB, 0}));
    EXPECT_EQ(argumentsWith(c.requests, kEnumLocal).at(0), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 9, 0}));
    EXPECT_EQ(argumentsWith(c.requests, kStringType).at(0), Bytes({3, 0, 'V', 'R', 0}));
    EXPECT_EQ(type, static_cast<uint16_t>(sim::NameType::systemArray));

    EXPECT_EQ(TVX_ModifyLocal(c.handle, nullptr, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
    EXPECT_EQ(TVX_EnumVar(c.handle, nullptr, nullptr, nullptr, nullptr, nullptr), TVX_ERR_NOT_SUPPORTED);
}

TEST_P(Debugger, ArgumentChecks) {
    const size_t before = c.requests.size();
    const std::string longName(2044 - 12 + 1, 'f');  // one past the largest breakpoint request
    EXPECT_EQ(TVX_BreakAdd(c.handle, nullptr, 1, 0), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_BreakDel(c.handle, nullptr, 1), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_BreakAdd(c.handle, longName.c_str(), 1, 0), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_BreakDel(c.handle, (longName + "f").c_str(), 1), TVX_ERR_BAD_ARGUMENT);
    uint16_t type = 0;
    const std::string name256(256, 'n');
    EXPECT_EQ(TVX_GetStringType(c.handle, name256.c_str(), 0, &type, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_GetStringType(c.handle, "VR", 0, nullptr, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_GetStringType(c.handle, nullptr, 0, &type, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
    char buffer[8];
    uint32_t got = 0;
    EXPECT_EQ(TVX_ReadMessage(c.handle, nullptr, 8, &got), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ReadMessage(c.handle, buffer, 8, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(c.requests.size(), before);
    const std::string name255(255, 'n');
    EXPECT_EQ(TVX_GetStringType(c.handle, name255.c_str(), 0, &type, nullptr, nullptr), 0);
    EXPECT_EQ(TVX_BreakClear(nullptr), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_CancelOnline(c.handle), 0);
}

// The name ends with the reply even when the controller sent no 0 byte,
// and it is always terminated; a reply without data is refused.
TEST_P(Debugger, EnumLocalReplyBounds) {
    Bytes data = {7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 'a', 'b', 'c'};
    replyWith(kEnumLocal, data);
    int32_t value = 0;
    uint8_t extra[8] = {};
    char name[32];
    std::memset(name, 'z', sizeof name);
    ASSERT_EQ(TVX_EnumLocal(c.handle, 0, 0, 0, &value, extra, name), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(Bytes(extra, extra + 8), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_STREQ(name, "abc");

    replyWith(kEnumLocal, Bytes(12, 0));
    std::memset(name, 'z', sizeof name);
    ASSERT_EQ(TVX_EnumLocal(c.handle, 0, 0, 0, nullptr, nullptr, name), 0);
    EXPECT_STREQ(name, "");

    replyWith(kEnumLocal, {});
    value = 99;
    EXPECT_EQ(TVX_EnumLocal(c.handle, 0, 0, 0, &value, nullptr, nullptr), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(value, 99);
    EXPECT_EQ(TVX_EnumLocal(c.handle, 0, 0, 0, nullptr, nullptr, nullptr), 0);
}

TEST_P(Debugger, StringTypeThirdFieldOnlyWhenSent) {
    struct Case {
        size_t dataBytes;  // a packet of 10 + dataBytes
        bool third;
    };
    for (const Case k : {Case{15, false}, Case{16, true}, Case{4, false}}) {
        Bytes data(k.dataBytes);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x40 + i);
        replyWith(kStringType, data);
        uint16_t type = 0;
        int32_t second = -1;
        uint8_t third[8] = {};
        ASSERT_EQ(TVX_GetStringType(c.handle, "x", 0, &type, &second, third), 0) << k.dataBytes;
        EXPECT_EQ(type, 0x4140);
        EXPECT_EQ(second, k.dataBytes >= 8 ? 0x47464544 : 0) << k.dataBytes;
        EXPECT_EQ(third[0], k.third ? 0x48 : 0) << k.dataBytes;
    }
    replyWith(kStringType, {});
    uint16_t type = 5;
    EXPECT_EQ(TVX_GetStringType(c.handle, "x", 0, &type, nullptr, nullptr), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(type, 5);
}

// The drain: pieces while the controller holds more and 2048 bytes of room
// are left; a piece that does not fit gives 20030 with what came before.
TEST_P(Debugger, MessageDrain) {
    struct Piece {
        size_t text;
        uint8_t flag;
    };
    struct Case {
        uint32_t bufferSize;
        std::vector<Piece> pieces;
        int32_t result;
        uint32_t received;
        size_t requests;
    };
    const Case cases[] = {
        // 4096 bytes: after 2000 there is room for another piece, after 4000 not.
        {4096, {{2000, 0}, {2000, 0}, {5, 1}}, 0, 4000, 2},
        {4096, {{2000, 0}, {100, 1}}, 0, 2100, 2},
        // Exactly 2048 bytes of room left goes on; 2047 stops.
        {1000 + 2048, {{1000, 0}, {10, 1}}, 0, 1010, 2},
        {1000 + 2047, {{1000, 0}, {10, 1}}, 0, 1000, 1},
        // A piece larger than the buffer.
        {1000, {{1001, 0}}, TVX_ERR_BUFFER_TOO_SMALL, 0, 1},
        {10, {{10, 1}}, 0, 10, 1},
        {0, {{0, 1}}, 0, 0, 1},
        // An empty piece that announces more ends the drain rather than
        // polling for ever.
        {4096, {{10, 0}, {0, 0}, {5, 1}}, 0, 10, 2},
    };
    for (const Case& k : cases) {
        std::deque<Piece> pieces(k.pieces.begin(), k.pieces.end());
        size_t served = 0;
        c.filter = [&](const Bytes& request, Bytes& reply) {
            if (commandOf(request) != kReadMessage || pieces.empty()) return true;
            const Piece p = pieces.front();
            pieces.pop_front();
            ++served;
            reply.resize(10);
            reply.push_back(p.flag);
            for (size_t i = 0; i < p.text; ++i) reply.push_back(static_cast<uint8_t>('a' + (served + i) % 26));
            fixLength(reply);
            return true;
        };
        std::vector<char> buffer(k.bufferSize + 1, 0);
        uint32_t received = 12345;
        EXPECT_EQ(TVX_ReadMessage(c.handle, buffer.data(), k.bufferSize, &received), k.result) << k.bufferSize;
        EXPECT_EQ(received, k.received) << k.bufferSize;
        EXPECT_EQ(served, k.requests) << k.bufferSize;
        if (k.received > 0) {
            EXPECT_EQ(buffer[0], 'b');
        }
    }
    // A reply without even its flag byte.
    c.filter = testing::cutReply(kReadMessage, 10);
    char buffer[64];
    uint32_t received = 77;
    EXPECT_EQ(TVX_ReadMessage(c.handle, buffer, sizeof buffer, &received), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(received, 77u);
}

// A program file of the controller's store, run as a task: it stops at a
// breakpoint, shows and changes its locals, steps a line and goes on.
TEST_P(Debugger, BreakpointStopsAProgramAndAStepAdvancesIt) {
    const std::string program =
        "LOCAL count, total\n"       // 1
        "FOR count = 1 TO 3\n"       // 2
        "  total = total + count\n"  // 3
        "NEXT count\n"               // 4
        "PRINT \"total\", total\n"   // 5
        "\n"                         // 6
        "PRINT \"last\", total * 2\n"  // 7
        "END\n";
    ASSERT_EQ(TVX_DownMemFile(c.handle, program.data(), static_cast<uint32_t>(program.size()), "main.bas"), 0);
    ASSERT_EQ(TVX_BreakAdd(c.handle, "MAIN.BAS", 5, 0), 0);
    ASSERT_EQ(TVX_RunNarFile(c.handle, "main.bas"), 0);

    // Each request lets the task run a few lines: poll until it is held.
    uint8_t state = 0, held = 0;
    int32_t line = 0;
    char text[32] = {};
    for (int i = 0; i < 100 && !held; ++i)
        ASSERT_EQ(TVX_GetTaskState(c.handle, 0, &state, &held, nullptr, &line, text), 0);
    ASSERT_EQ(held, 1);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(line, 5);
    EXPECT_STREQ(text, "main.bas");
    char messages[4096];
    uint32_t received = 0;
    ASSERT_EQ(TVX_ReadMessage(c.handle, messages, sizeof messages, &received), 0);
    EXPECT_EQ(received, 0u);  // nothing printed before the breakpoint

    int32_t count = 0;
    uint8_t value[8];
    char name[64];
    ASSERT_EQ(TVX_EnumLocal(c.handle, 0, 0, 1, &count, value, name), 0);
    double total = 0;
    std::memcpy(&total, value, sizeof total);  // this controller sends a double
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(name, "TOTAL");
    EXPECT_EQ(total, 6.0);
    EXPECT_EQ(TVX_EnumLocal(c.handle, 0, 0, 2, &count, value, name), 3204);

    // Command lines see the held task's locals and change them.
    char answer[64] = {};
    ASSERT_EQ(TVX_Execute(c.handle, "?total\n", 1000, answer, sizeof answer), 0);
    EXPECT_STREQ(answer, "6\n");
    ASSERT_EQ(TVX_Execute(c.handle, "total = 10\n", 1000, answer, sizeof answer), 0);

    // One step runs line 5 and holds again at the next statement, past the
    // blank line.
    ASSERT_EQ(TVX_StepRun(c.handle, 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(TVX_GetTaskState(c.handle, 0, &state, &held, nullptr, &line, nullptr), 0);
    EXPECT_EQ(held, 1);
    EXPECT_EQ(line, 7);
    ASSERT_EQ(TVX_ReadMessage(c.handle, messages, sizeof messages, &received), 0);
    EXPECT_EQ(std::string(messages, received), "total 10\n");

    // Going on, the program ends.
    ASSERT_EQ(TVX_StepRun(c.handle, 0, 1, 0, 0, 0), 0);
    for (int i = 0; i < 10 && state != 0; ++i)
        ASSERT_EQ(TVX_GetTaskState(c.handle, 0, &state, &held, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(state, 0);
    ASSERT_EQ(TVX_ReadMessage(c.handle, messages, sizeof messages, &received), 0);
    EXPECT_EQ(std::string(messages, received), "last 20\n");
    EXPECT_EQ(TVX_StepRun(c.handle, 0, 0, 0, 0, 0), 3204);
}

// A breakpoint is per file and line; CancelOnline clears them and lets a
// held task go on, as TVX_Resume does.
TEST_P(Debugger, BreakpointsPerFileAndCancel) {
    const std::string loop = "WHILE 1\n  VR(0) = VR(0) + 1\nWEND\n";
    const std::string other = "VR(1) = 1\nVR(1) = 2\n";
    ASSERT_EQ(TVX_DownMemFile(c.handle, loop.data(), static_cast<uint32_t>(loop.size()), "loop.bas"), 0);
    ASSERT_EQ(TVX_DownMemFile(c.handle, other.data(), static_cast<uint32_t>(other.size()), "other.bas"), 0);
    ASSERT_EQ(TVX_BreakAdd(c.handle, "other.bas", 2, 0), 0);
    ASSERT_EQ(TVX_BreakAdd(c.handle, "loop.bas", 3, 0), 0);
    ASSERT_EQ(TVX_BreakDel(c.handle, "loop.bas", 3), 0);
    EXPECT_EQ(TVX_BreakDel(c.handle, "loop.bas", 3), 3204);
    ASSERT_EQ(TVX_RunNarFile(c.handle, "loop.bas"), 0);
    ASSERT_EQ(TVX_RunNarFile(c.handle, "other.bas"), 0);
    const auto* programs = c.controller.service<sim::ProgramService>();
    uint8_t state = 0;
    for (int i = 0; i < 20 && !programs->held(1); ++i) ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    EXPECT_TRUE(programs->held(1));
    EXPECT_FALSE(programs->held(0));
    EXPECT_EQ(c.model().tasks[0].state, 1);
    EXPECT_GT(c.controller.console().interpreter().variables().vr()[0], 0.0);

    ASSERT_EQ(TVX_CancelOnline(c.handle), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    EXPECT_EQ(c.model().tasks[1].state, 0);  // ran to its end
    EXPECT_EQ(c.controller.console().interpreter().variables().vr()[1], 2.0);
    ASSERT_EQ(TVX_Stop(c.handle), 0);
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    EXPECT_EQ(state, 0);
    EXPECT_EQ(programs->program(0), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Framings, Debugger, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
