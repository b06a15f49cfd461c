#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/inprocess_fixture.h"
#include "support/reply_rewrites.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

class Queries : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(), 0); }
    InProcessController c{GetParam()};
    // The arguments (from offset 6) of the last request sent.
    Bytes lastArguments() const { return Bytes(c.requests.back().begin() + 6, c.requests.back().end()); }
};

TEST_P(Queries, IdentitiesStateAndVersion) {
    auto& m = c.model();
    m.runState = 3;
    m.stoppedTask = 7;
    uint8_t state = 0, task = 0;
    ASSERT_EQ(TVX_GetState(c.handle, &state), 0);
    ASSERT_EQ(TVX_GetStopPauseTaskid(c.handle, &task), 0);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(task, 7);
    struct {
        int32_t (*fn)(TVX_HANDLE, int32_t*);
        int32_t expected;
    } ints[] = {{TVX_GetClientId, m.clientId}, {TVX_GetSoftId, m.softId}, {TVX_GetHardId, m.hardId},
                {TVX_GetChipId, m.chipId}, {TVX_GetError, m.errorCode}};
    for (auto& q : ints) {
        int32_t v = -1;
        ASSERT_EQ(q.fn(c.handle, &v), 0);
        EXPECT_EQ(v, q.expected);
        EXPECT_EQ(q.fn(c.handle, nullptr), TVX_ERR_BAD_ARGUMENT);
    }
    uint32_t version = 0, date = 0;
    char text[17] = {};
    ASSERT_EQ(TVX_GetSoftVersion(c.handle, &version, text, &date), 0);
    EXPECT_EQ(version, m.softVersion);
    EXPECT_EQ(std::string(text), m.versionText);
    EXPECT_EQ(date, m.versionDate);
    const size_t before = c.requests.size();
    EXPECT_EQ(TVX_GetSoftVersion(c.handle, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(c.requests.size(), before + 1);  // still one transaction
    char ip[20], mac[14];
    ASSERT_EQ(TVX_GetCurIpAddr(c.handle, ip), 0);
    EXPECT_EQ(std::string(ip), m.ipText);
    ASSERT_EQ(TVX_SetMac(c.handle, "02:00:00:00:00:09"), 0);
    const Bytes sentMac = lastArguments();
    ASSERT_EQ(sentMac.size(), 18u);  // sent with its terminator
    EXPECT_EQ(sentMac[17], 0);
    ASSERT_EQ(TVX_GetMac(c.handle, mac), 0);
    EXPECT_EQ(std::string(mac, 14), std::string("02:00:00:00:00", 14));  // 14 bytes: no room for more
}

TEST_P(Queries, DigitalAndAnalogIo) {
    c.model().setInput(5, true);
    c.model().setInput(7, true);
    uint8_t on = 0;
    ASSERT_EQ(TVX_GetIn(c.handle, 5, &on), 0);
    EXPECT_EQ(on, 1);
    ASSERT_EQ(TVX_SetOutput(c.handle, 12, 1), 0);
    ASSERT_EQ(TVX_GetOutput(c.handle, 12, &on), 0);
    EXPECT_EQ(on, 1);
    int32_t bits = 0;
    ASSERT_EQ(TVX_GetInAll(c.handle, 4, 11, &bits), 0);
    EXPECT_EQ(bits, 0b1010);
    ASSERT_EQ(TVX_SetOutAll(c.handle, 16, 23, 0x5A), 0);
    ASSERT_EQ(TVX_GetOutAll(c.handle, 16, 23, &bits), 0);
    EXPECT_EQ(bits, 0x5A);
    ASSERT_EQ(TVX_SetDaOut(c.handle, 3, 1234), 0);
    // The value travels before the channel number: length 12.
    EXPECT_EQ(c.requests.back(), (Bytes{12, 0, 126, 0, c.requests.back()[4], c.requests.back()[5], 0xD2, 0x04, 0, 0, 3, 0}));
    float v = 0;
    ASSERT_EQ(TVX_GetDaOut(c.handle, 3, &v), 0);
    EXPECT_EQ(v, 1234.0f);
    ASSERT_EQ(TVX_GetAIn(c.handle, 4, &v), 0);
    EXPECT_EQ(v, 2.0f);
}

TEST_P(Queries, AxesTasksCardsAndSpecification) {
    auto& m = c.model();
    uint8_t states[17];
    ASSERT_EQ(TVX_GetAxisStates(c.handle, 2, states), 0);
    EXPECT_EQ(0, std::memcmp(states, m.axes[2].states.data(), 17));
    int32_t features = 0;
    ASSERT_EQ(TVX_GetAxisFeatures(c.handle, 1, &features), 0);
    EXPECT_EQ(features, m.axes[1].features);
    ASSERT_EQ(TVX_SetAxisEnable(c.handle, 258, 1), 0);  // goes out as axis 2
    EXPECT_EQ(lastArguments(), (Bytes{2, 0, 1}));
    EXPECT_TRUE(m.axes[2].enabled);

    m.tasks[3] = {4, 5, 0x0607, -8, "RUNNING IN A LONG TASK NAME"};
    uint8_t s1 = 0, s2 = 0;
    uint16_t w = 0;
    int32_t value = 0;
    char text[26];
    ASSERT_EQ(TVX_GetTaskState(c.handle, 3, &s1, &s2, &w, &value, text), 0);
    EXPECT_EQ(s1, 4);
    EXPECT_EQ(s2, 5);
    EXPECT_EQ(w, 0x0607);
    EXPECT_EQ(value, -8);
    EXPECT_EQ(std::string(text, 26), std::string("RUNNING IN A LONG TASK NAM"));  // full: no terminator
    char stack[23];
    uint8_t b = 0;
    ASSERT_EQ(TVX_GetTaskStackState(c.handle, 3, 1, &b, &value, stack), 0);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(lastArguments(), (Bytes{3, 0, 1, 0}));

    m.childCardCount = 1;
    m.childCards[0] = {0xA1B2C3D4, 0x0102, {9, 8, 7, 6, 5}};
    TVX_ChildCard card{};
    ASSERT_EQ(TVX_EnumChildCard(c.handle, 0, &card), 0);
    EXPECT_EQ(card.id, 0xA1B2C3D4u);
    EXPECT_EQ(card.kind, 0x0102);
    EXPECT_EQ(card.bytes[4], 5);

    TVX_SysSpecification sysRecord{};
    const size_t before = c.requests.size();
    EXPECT_EQ(TVX_GetSysSpecification(c.handle, nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(c.requests.size(), before);  // refused before any traffic
    ASSERT_EQ(TVX_GetSysSpecification(c.handle, &sysRecord), 0);
    EXPECT_EQ(sysRecord.axisCount, m.axisCount);
}

TEST_P(Queries, MaintenanceRequests) {
    auto& m = c.model();
    ASSERT_EQ(TVX_LowFormatNand(c.handle, 0x55), 0);
    ASSERT_EQ(TVX_ReturnDefault(c.handle, -3), 0);
    ASSERT_EQ(TVX_ResetController(c.handle), 0);
    ASSERT_EQ(TVX_ClearLog(c.handle), 0);
    EXPECT_EQ(m.lastFormatValue, 0x55);
    EXPECT_EQ(m.lastDefaultValue, -3);
    EXPECT_EQ(m.resets, 1u);
    EXPECT_EQ(m.logClears, 1u);
    EXPECT_EQ(TVX_CheckProgramSyntax(nullptr, nullptr), 0);
    EXPECT_EQ(TVX_SetMac(c.handle, nullptr), TVX_ERR_BAD_ARGUMENT);
    const std::string tooLong(2044, 'm');
    EXPECT_EQ(TVX_SetMac(c.handle, tooLong.c_str()), TVX_ERR_BAD_ARGUMENT);
}

TEST_P(Queries, TextRepliesAtAndOverTheirLimits) {
    for (size_t n : {19u, 20u, 21u}) {
        c.filter = testing::replyWith(111, 0, Bytes(n, 'a'));
        char ip[21];
        std::memset(ip, 'z', sizeof ip);
        const int32_t r = TVX_GetCurIpAddr(c.handle, ip);
        if (n > 20) {
            EXPECT_EQ(r, TVX_ERR_REPLY_LENGTH);
            EXPECT_EQ(ip[0], 'z');
        } else {
            EXPECT_EQ(r, 0);
            EXPECT_EQ(std::string(ip, n), std::string(n, 'a'));
            EXPECT_EQ(ip[n], n < 20 ? 0 : 'z');  // terminated only when there is room
        }
    }
}

TEST_P(Queries, ShortRepliesGiveZeroFieldsNeverStaleBytes) {
    // Every reply keeps one zero byte of its data: fixed-offset readers must
    // see zeros beyond it.
    c.filter = [](const Bytes&, Bytes& reply) {
        reply.resize(10);
        reply.push_back(0);
        testing::fixLength(reply);
        return true;
    };
    int32_t value = 77;
    ASSERT_EQ(TVX_GetHardId(c.handle, &value), 0);
    EXPECT_EQ(value, 0);
    uint32_t version = 1, date = 1;
    char text[16];
    ASSERT_EQ(TVX_GetSoftVersion(c.handle, &version, text, &date), 0);
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(date, 0u);
    EXPECT_EQ(text[0], 0);
    uint8_t states[17];
    std::memset(states, 0xEE, sizeof states);
    ASSERT_EQ(TVX_GetAxisStates(c.handle, 0, states), 0);
    for (uint8_t s : states) EXPECT_EQ(s, 0);
    TVX_SysSpecification sysRecord;
    ASSERT_EQ(TVX_GetSysSpecification(c.handle, &sysRecord), 0);
    EXPECT_EQ(sysRecord.axisCount, 0);
    char tt[26];
    uint16_t w = 5;
    ASSERT_EQ(TVX_GetTaskState(c.handle, 0, nullptr, nullptr, &w, nullptr, tt), 0);
    EXPECT_EQ(w, 0);
    char ip[20];
    ASSERT_EQ(TVX_GetCurIpAddr(c.handle, ip), 0);
    EXPECT_EQ(ip[0], 0);
}

TEST_P(Queries, ControllerErrorsPassThroughAndLeaveOutputsAlone) {
    c.filter = [](const Bytes&, Bytes& reply) {
        reply[6] = 0x0C;  // status 3084
        reply[7] = 0x0C;
        return true;
    };
    uint8_t task = 42;
    EXPECT_EQ(TVX_GetStopPauseTaskid(c.handle, &task), 0x0C0C);
    EXPECT_EQ(task, 42);
    float v = 1.5f;
    EXPECT_EQ(TVX_GetAIn(c.handle, 0, &v), 0x0C0C);
    EXPECT_EQ(v, 1.5f);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, Queries, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
