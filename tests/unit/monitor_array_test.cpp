// Array writes and reads, and line points: limits by link kind, request
// layouts, short replies, and arrays shared with the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/array_service.h"
#include "support/opened_controller.h"
#include "support/reply_rewrites.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::Bytes;

constexpr uint16_t kArrayWrite = 146;
constexpr uint16_t kArrayRead = 147;
constexpr uint16_t kMultiLine = 7;

class Arrays : public testing::OpenedController {
protected:
    uint32_t limit() const { return c.tcp() ? 248 : 48; }
};

// The per-request limit of the link kind, in both directions; counts whose
// byte size wraps in 32 bits stay refused, and nothing goes out for them.
TEST_P(Arrays, ValueLimitByLinkKind) {
    std::vector<float> values(300, 1.0f);
    struct Case {
        uint32_t count;
        int32_t expected;
    };
    const Case cases[] = {
        {limit(), 0}, {limit() + 1, TVX_ERR_OVER_LIMIT}, {0xFFFFFFFFu, TVX_ERR_OVER_LIMIT},
        {0x40000001u, TVX_ERR_OVER_LIMIT}, {0, 0},
    };
    for (const Case& k : cases) {
        c.requests.clear();
        EXPECT_EQ(TVX_ArrayWritef(c.handle, "TABLE", 0, k.count, values.data()), k.expected) << k.count;
        EXPECT_EQ(TVX_ArrayReadf(c.handle, "TABLE", 0, k.count, values.data()), k.expected) << k.count;
        EXPECT_EQ(c.requests.size(), k.expected == 0 ? 2u : 0u) << k.count;
    }
}

TEST_P(Arrays, WriteAndReadRequestLayouts) {
    const float values[3] = {1.5f, -2.0f, 1e6f};
    ASSERT_EQ(TVX_ArrayWritef(c.handle, "TABLE", 7, 3, values), 0);
    float back[3] = {};
    ASSERT_EQ(TVX_ArrayReadf(c.handle, "TABLE", 7, 3, back), 0);
    EXPECT_EQ(0, std::memcmp(back, values, sizeof values));

    const Bytes w = sent(kArrayWrite).at(0);
    ASSERT_EQ(w.size(), 15u + 4 * 3 + 5);
    EXPECT_EQ(getU16(w.data()), w.size());
    EXPECT_EQ(getU32(w.data() + 6), 7u);
    EXPECT_EQ(getU32(w.data() + 10), 3u);
    EXPECT_EQ(0, std::memcmp(w.data() + 14, values, sizeof values));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(w.data()) + 26, 6), std::string("TABLE\0", 6));

    const Bytes r = sent(kArrayRead).at(0);
    ASSERT_EQ(r.size(), 15u + 5);
    EXPECT_EQ(getU32(r.data() + 6), 7u);
    EXPECT_EQ(getU32(r.data() + 10), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data()) + 14, 6), std::string("TABLE\0", 6));
}

// What the array requests write, `?NAME(i)` shows, and what a command line
// assigns, the array requests read.
TEST_P(Arrays, SharedWithTheCommandLine) {
    execute("DIM speeds(10)");
    const float values[2] = {12.5f, -0.25f};
    ASSERT_EQ(TVX_ArrayWritef(c.handle, "speeds", 4, 2, values), 0);
    EXPECT_EQ(execute("?SPEEDS(4), speeds(5)"), "12.5 -0.25\n");
    float element = 0;
    ASSERT_EQ(TVX_GlobalArrayGet(c.handle, "speeds", 5, &element), 0);
    EXPECT_EQ(element, -0.25f);

    execute("VR(100) = 3.75 : speeds(9) = 8");
    float back[1] = {};
    ASSERT_EQ(TVX_ArrayReadf(c.handle, "VR", 100, 1, back), 0);
    EXPECT_EQ(back[0], 3.75f);
    ASSERT_EQ(TVX_ArrayReadf(c.handle, "SPEEDS", 9, 1, back), 0);
    EXPECT_EQ(back[0], 8.0f);

    // The controller's own refusals pass through: no such name, or beyond
    // the array's end.
    EXPECT_EQ(TVX_ArrayReadf(c.handle, "nothing", 0, 1, back), 3204);
    EXPECT_EQ(TVX_ArrayWritef(c.handle, "speeds", 9, 2, values), 3204);
    EXPECT_EQ(execute("?speeds(9)"), "8\n");
}

TEST_P(Arrays, ShortReadReplyIsRefused) {
    float values[4] = {9, 9, 9, 9};
    // The reply carries three of the four values asked for.
    c.filter = testing::cutReply(kArrayRead, 10 + 12);
    EXPECT_EQ(TVX_ArrayReadf(c.handle, "TABLE", 0, 4, values), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(values[0], 9.0f);
    EXPECT_EQ(TVX_ArrayReadf(c.handle, "TABLE", 0, 3, values), 0);
    EXPECT_EQ(values[0], 0.0f);
}

TEST_P(Arrays, NamesAndPointers) {
    float values[1] = {};
    EXPECT_EQ(TVX_ArrayWritef(c.handle, nullptr, 0, 1, values), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ArrayReadf(c.handle, "TABLE", 0, 1, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_ArrayWritef(nullptr, "TABLE", 0, 1, values), TVX_ERR_INVALID_HANDLE);
    // The longest name leaves the request at 2044 bytes; one more is refused.
    const std::string fits(2044 - 15 - 4, 'N');
    EXPECT_EQ(TVX_ArrayWritef(c.handle, fits.c_str(), 0, 1, values), c.tcp() ? TVX_CH_CANNOT_FRAME : 3204);
    EXPECT_EQ(TVX_ArrayWritef(c.handle, (fits + "N").c_str(), 0, 1, values), TVX_ERR_BAD_ARGUMENT);
    const std::string readFits(2044 - 15, 'N');
    EXPECT_EQ(TVX_ArrayReadf(c.handle, (readFits + "N").c_str(), 0, 1, values), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(sent(kArrayWrite).size() + sent(kArrayRead).size(), c.tcp() ? 0u : 1u);
}

// Axis bytes fill whole 32-bit words: one axis takes 4 bytes, five take 8.
TEST_P(Arrays, LinePointsPadTheAxisList) {
    struct Case {
        uint32_t axes;
        size_t axisArea;
    };
    for (const Case k : {Case{1, 4}, Case{4, 4}, Case{5, 8}}) {
        c.requests.clear();
        const int32_t axisList[5] = {0, 1, 2, 3, 4};
        std::vector<float> values(2 * k.axes);
        for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i) + 0.5f;
        int32_t remaining = -1;
        ASSERT_EQ(TVX_MultiLineN(c.handle, 0x1234, 0xA5, 2, k.axes, axisList, values.data(), &remaining), 0) << k.axes;
        const Bytes p = sent(kMultiLine).at(0);
        ASSERT_EQ(p.size(), 14 + 4 * (2 * k.axes + (k.axes - 1) / 4)) << k.axes;
        EXPECT_EQ(p[6], 2);
        EXPECT_EQ(p[7], k.axes);
        EXPECT_EQ(p[8], 0xA5);
        EXPECT_EQ(p[9], 0x34);
        for (uint32_t a = 0; a < k.axes; ++a) EXPECT_EQ(p[10 + a], a);
        EXPECT_EQ(0, std::memcmp(p.data() + 10 + k.axisArea, values.data(), values.size() * 4)) << k.axes;
        EXPECT_EQ(remaining, static_cast<int32_t>(sim::kLineBufferPoints - 2));
        // The controller takes the points off one request at a time.
        uint8_t state;
        ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
        ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
        EXPECT_EQ(c.controller.service<sim::ArrayService>()->queuedPoints(), 0u);
    }
    // The last point moved the axes there.
    EXPECT_EQ(c.controller.console().interpreter().variables().axisValue(4, sim::interp::AxisParam::dpos), 9.5);
}

TEST_P(Arrays, LinePointLimits) {
    const int32_t axes[3] = {0, 1, 2};
    std::vector<float> values(256 * 3);
    const uint32_t perLine = 3;
    const uint32_t fittingLines = limit() / perLine;
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, fittingLines, 3, axes, values.data(), nullptr), 0);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, fittingLines + 1, 3, axes, values.data(), nullptr), TVX_ERR_OVER_LIMIT);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 256, 0, axes, values.data(), nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 0, 256, axes, values.data(), nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 1, 3, nullptr, values.data(), nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 1, 3, axes, nullptr, nullptr), TVX_ERR_BAD_ARGUMENT);
    // No axes: the list still takes one word, and the request goes out.
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 0, 0, nullptr, values.data(), nullptr), 0);
    EXPECT_EQ(sent(kMultiLine).back().size(), 14u);
    EXPECT_EQ(sent(kMultiLine).size(), 2u);

    // A reply without the remaining count is refused when it is asked for.
    c.filter = testing::cutReply(kMultiLine, 14);
    int32_t remaining = 77;
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 1, 3, axes, values.data(), &remaining), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(remaining, 77);
    EXPECT_EQ(TVX_MultiLineN(c.handle, 0, 0, 1, 3, axes, values.data(), nullptr), 0);
}

INSTANTIATE_TEST_SUITE_P(Framings, Arrays, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
