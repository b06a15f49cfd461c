// Coils, holding registers and the named register areas end to end: the
// library's exports against the simulated controller over the in-process
// link, in both framings. The simulator serves the Modbus areas and the
// named areas from the interpreter's store, so text commands see them too.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/inprocess_fixture.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::argumentsWith;
using testing::Bytes;
using testing::InProcessController;

class ModbusAccess : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override { ASSERT_EQ(c.open(true, 2000), 0); }
    bool serial() const { return GetParam() == Framing::rtu; }
    // The answer of one text command, without its line feed.
    std::string ask(const char* text) {
        char answer[256] = {};
        EXPECT_EQ(TVX_Execute(c.handle, text, 1000, answer, sizeof answer), 0) << text;
        std::string s = answer;
        if (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }
    size_t traffic() const { return c.requests.size() + c.standardFrames.size(); }

    InProcessController c{GetParam()};
};

TEST_P(ModbusAccess, EachCallTakesItsStandardFunction) {
    const uint8_t on = 0xFF, off = 0xFE, ten[2] = {0xFF, 0xFF};
    const uint16_t one = 0x1234, two[2] = {1, 2};
    const uint32_t value = 0x0A0B0C0D;
    uint8_t bits[2];
    uint32_t longs[2];
    struct Case {
        const char* what;
        std::function<int32_t()> call;
        Bytes frame;  // function code and what follows, framing removed
    } cases[] = {
        {"one coil on", [&] { return TVX_Modbus_Set0x(c.handle, 7, 1, &on); }, {5, 0, 7, 0xFF, 0x00}},
        {"one coil off, other bits ignored", [&] { return TVX_Modbus_Set0x(c.handle, 7, 1, &off); }, {5, 0, 7, 0, 0}},
        {"ten coils", [&] { return TVX_Modbus_Set0x(c.handle, 0, 10, ten); }, {15, 0, 0, 0, 10, 2, 0xFF, 0xFF}},
        {"one register", [&] { return TVX_Modbus_Set4x(c.handle, 3, 1, &one); }, {6, 0, 3, 0x12, 0x34}},
        {"two registers", [&] { return TVX_Modbus_Set4x(c.handle, 3, 2, two); }, {16, 0, 3, 0, 2, 4, 0, 1, 0, 2}},
        {"one long, low half first",
         [&] { return TVX_Modbus_SetLong(c.handle, 100, 1, &value); },
         {16, 0, 100, 0, 2, 4, 0x0C, 0x0D, 0x0A, 0x0B}},
        {"ten coils read", [&] { return TVX_Modbus_Get0x(c.handle, 0, 10, bits); }, {1, 0, 0, 0, 10}},
        {"two longs read", [&] { return TVX_Modbus_GetIEEE(c.handle, 4, 2, longs); }, {3, 0, 4, 0, 4}},
    };
    for (const Case& k : cases) {
        ASSERT_EQ(k.call(), 0) << k.what;
        ASSERT_FALSE(c.standardFrames.empty());
        EXPECT_EQ(c.standardFrames.back(), k.frame) << k.what;
    }
}

TEST_P(ModbusAccess, TextCommandsSeeTheSameCoilsAndRegisters) {
    const uint16_t word = 1234;
    const uint32_t minusSeven = static_cast<uint32_t>(-7);
    const float f = 2.5f;
    uint32_t fBits;
    std::memcpy(&fBits, &f, sizeof fBits);
    const uint8_t on = 1;
    ASSERT_EQ(TVX_Modbus_Set4x(c.handle, 5, 1, &word), 0);
    ASSERT_EQ(TVX_Modbus_SetLong(c.handle, 10, 1, &minusSeven), 0);
    ASSERT_EQ(TVX_Modbus_SetIEEE(c.handle, 20, 1, &fBits), 0);
    ASSERT_EQ(TVX_Modbus_Set0x(c.handle, 3, 1, &on), 0);
    EXPECT_EQ(ask("?MODBUS_REG(5)"), "1234");
    EXPECT_EQ(ask("?MODBUS_LONG(10)"), "-7");
    EXPECT_EQ(ask("?MODBUS_IEEE(20)"), "2.5");
    EXPECT_EQ(ask("?MODBUS_BIT(3)"), "1");

    ask("MODBUS_REG(7)=99:MODBUS_BIT(9)=1:MODBUS_LONG(30)=-100000");
    uint16_t back = 0;
    uint8_t bits[2] = {};
    uint32_t asLong = 0;
    ASSERT_EQ(TVX_Modbus_Get4x(c.handle, 7, 1, &back), 0);
    EXPECT_EQ(back, 99);
    ASSERT_EQ(TVX_Modbus_Get0x(c.handle, 8, 2, bits), 0);
    EXPECT_EQ(bits[0], 0x02);
    ASSERT_EQ(TVX_Modbus_GetLong(c.handle, 30, 1, &asLong), 0);
    EXPECT_EQ(static_cast<int32_t>(asLong), -100000);
}

TEST_P(ModbusAccess, CountsPointersAndLimits) {
    std::vector<uint32_t> longs(40000, 0);
    std::vector<uint16_t> words(200, 0);
    std::vector<uint8_t> bits(300, 0);
    struct Case {
        const char* what;
        std::function<int32_t()> call;
        int32_t expected;
        bool sends;
    } cases[] = {
        {"no coils", [&] { return TVX_Modbus_Get0x(c.handle, 0, 0, nullptr); }, 0, false},
        {"no registers", [&] { return TVX_Modbus_Set4x(c.handle, 0, 0, nullptr); }, 0, false},
        {"no longs", [&] { return TVX_Modbus_SetLong(c.handle, 0, 0, nullptr); }, 0, false},
        {"null coil array", [&] { return TVX_Modbus_Set0x(c.handle, 0, 2, nullptr); }, TVX_ERR_BAD_ARGUMENT, false},
        {"null register array", [&] { return TVX_Modbus_Get4x(c.handle, 0, 2, nullptr); }, TVX_ERR_BAD_ARGUMENT, false},
        {"61 longs", [&] { return TVX_Modbus_SetLong(c.handle, 0, 61, longs.data()); }, 0, true},
        {"62 longs", [&] { return TVX_Modbus_SetLong(c.handle, 0, 62, longs.data()); }, TVX_CH_CANNOT_FRAME, false},
        // 2 x 32768 registers must not wrap to none and report success.
        {"32768 longs written", [&] { return TVX_Modbus_SetLong(c.handle, 0, 32768, longs.data()); },
         TVX_CH_CANNOT_FRAME, false},
        {"32768 longs read", [&] { return TVX_Modbus_GetLong(c.handle, 0, 32768, longs.data()); },
         TVX_CH_CANNOT_FRAME, false},
        {"124 registers", [&] { return TVX_Modbus_Set4x(c.handle, 0, 124, words.data()); }, TVX_CH_CANNOT_FRAME, false},
        {"1969 coils", [&] { return TVX_Modbus_Set0x(c.handle, 0, 1969, bits.data()); }, TVX_CH_CANNOT_FRAME, false},
        {"read past the last register", [&] { return TVX_Modbus_Get4x(c.handle, 8190, 5, words.data()); },
         TVX_CH_ILLEGAL_ADDRESS, true},
        {"63 longs read: 126 registers", [&] { return TVX_Modbus_GetLong(c.handle, 0, 63, longs.data()); },
         TVX_CH_ILLEGAL_VALUE, true},
    };
    for (const Case& k : cases) {
        const size_t before = c.standardFrames.size();
        EXPECT_EQ(k.call(), k.expected) << k.what;
        EXPECT_EQ(c.standardFrames.size() > before, k.sends) << k.what;
    }
    TVX_HANDLE stale = c.handle;
    ASSERT_EQ(TVX_Close(c.handle), 0);
    c.handle = nullptr;
    EXPECT_EQ(TVX_Modbus_Get4x(stale, 0, 1, words.data()), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_Modbus_SetIEEE(stale, 0, 1, longs.data()), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_RegisterRead(stale, "D", 16, 0, 1, words.data()), TVX_ERR_INVALID_HANDLE);
}

TEST_P(ModbusAccess, RegisterRequestsCarryAreaWidthCountAndStart) {
    uint8_t data[64] = {};
    struct Case {
        const char* name;
        uint8_t asked;
        uint16_t count;
        Bytes args;  // area, width, count, start
        size_t bytes;
    } cases[] = {
        {"M", 0, 10, {6, 1, 10, 0, 2, 0, 0, 0}, 2},
        {"DT", 64, 3, {17, 64, 3, 0, 2, 0, 0, 0}, 24},
        {"DT", 16, 3, {17, 32, 3, 0, 2, 0, 0, 0}, 12},
        {"TABLE", 64, 3, {17, 32, 3, 0, 2, 0, 0, 0}, 12},
        {"C", 16, 5, {9, 16, 5, 0, 2, 0, 0, 0}, 10},
        {"VR_INT", 8, 1, {253, 32, 1, 0, 2, 0, 0, 0}, 4},
        {"AD", 0, 2, {252, 32, 2, 0, 2, 0, 0, 0}, 8},
    };
    for (const Case& k : cases) {
        const size_t before = c.requests.size();
        EXPECT_EQ(TVX_RegisterRead(c.handle, k.name, k.asked, 2, k.count, data), 0) << k.name;
        ASSERT_EQ(c.requests.size(), before + 1);
        EXPECT_EQ(testing::commandOf(c.requests.back()), 145);
        EXPECT_EQ(testing::argumentsOf(c.requests.back()), k.args) << k.name << " " << int(k.asked);
    }
    const float f = 2.5f;
    ASSERT_EQ(TVX_RegisterWrite(c.handle, "VR", 0, 4, 1, &f), 0);
    const Bytes written = c.requests.back();
    EXPECT_EQ(getU16(written.data()), 18);
    EXPECT_EQ(testing::argumentsOf(written), (Bytes{254, 32, 1, 0, 4, 0, 0, 0, 0x00, 0x00, 0x20, 0x40}));
}

TEST_P(ModbusAccess, NamedAreasShareTheControllersStore) {
    const float f = 2.5f;
    ASSERT_EQ(TVX_RegisterWrite(c.handle, "VR", 32, 0, 1, &f), 0);
    EXPECT_EQ(ask("?VR(0)"), "2.5");
    const int32_t i = -42;
    ASSERT_EQ(TVX_RegisterWrite(c.handle, "VR_INT", 32, 1, 1, &i), 0);
    EXPECT_EQ(ask("?VR(1)"), "-42");
    const double d = 0.125;
    ASSERT_EQ(TVX_RegisterWrite(c.handle, "DT", 64, 3, 1, &d), 0);
    EXPECT_EQ(ask("?TABLE(3)"), "0.125");

    // "D" and "M" are the Modbus registers and coils.
    const uint16_t words[2] = {11, 22};
    ASSERT_EQ(TVX_Modbus_Set4x(c.handle, 40, 2, words), 0);
    uint16_t fromD[2] = {};
    ASSERT_EQ(TVX_RegisterRead(c.handle, "D", 16, 40, 2, fromD), 0);
    EXPECT_EQ(fromD[1], 22);
    const uint8_t m = 0x05;  // elements 0 and 2 of three
    ASSERT_EQ(TVX_RegisterWrite(c.handle, "M", 1, 100, 3, &m), 0);
    uint8_t coils = 0;
    ASSERT_EQ(TVX_Modbus_Get0x(c.handle, 100, 3, &coils), 0);
    EXPECT_EQ(coils, 0x05);

    // A start past the area is the controller's refusal, passed through.
    EXPECT_EQ(TVX_RegisterRead(c.handle, "D", 16, 8191, 2, fromD), 3204);
}

TEST_P(ModbusAccess, RegisterRefusalsSendNothing) {
    std::vector<uint8_t> data(2048, 0);
    const uint32_t limit = serial() ? 192 : 992;
    struct Case {
        const char* name;
        uint8_t width;
        uint16_t count;
        bool write;
        bool nullData;
        int32_t expected;
    } cases[] = {
        {nullptr, 16, 1, false, false, TVX_ERR_BAD_ARGUMENT},
        {"d", 16, 1, false, false, TVX_ERR_BAD_ARGUMENT},
        {"Q", 16, 1, true, false, TVX_ERR_BAD_ARGUMENT},
        {"C", 8, 1, false, false, TVX_ERR_BAD_ARGUMENT},
        {"T", 64, 1, true, false, TVX_ERR_BAD_ARGUMENT},
        {"X", 1, 1, true, false, TVX_ERR_BAD_ARGUMENT},
        {"AD", 32, 1, true, false, TVX_ERR_BAD_ARGUMENT},
        {"D", 16, 1, false, true, TVX_ERR_BAD_ARGUMENT},
        {"D", 16, 1, true, true, TVX_ERR_BAD_ARGUMENT},
        {"D", 16, static_cast<uint16_t>(limit / 2 + 1), false, false, TVX_ERR_OVER_LIMIT},
        {"DT", 64, static_cast<uint16_t>(limit / 8 + 1), true, false, TVX_ERR_OVER_LIMIT},
    };
    for (const Case& k : cases) {
        const size_t before = traffic();
        void* p = k.nullData ? nullptr : data.data();
        const int32_t r = k.write ? TVX_RegisterWrite(c.handle, k.name, k.width, 0, k.count, p)
                                  : TVX_RegisterRead(c.handle, k.name, k.width, 0, k.count, p);
        EXPECT_EQ(r, k.expected) << (k.name ? k.name : "(null)") << " count " << k.count;
        EXPECT_EQ(traffic(), before);
    }
    // "D" count 97 asks 194 bytes: over the serial limit only.
    EXPECT_EQ(TVX_RegisterRead(c.handle, "D", 16, 0, 97, data.data()), serial() ? TVX_ERR_OVER_LIMIT : 0);
    EXPECT_EQ(TVX_RegisterRead(c.handle, "D", 16, 0, static_cast<uint16_t>(limit / 2), data.data()), 0);
}

TEST_P(ModbusAccess, ARegisterReplyOfAnotherSizeIsRefused) {
    c.filter = [](const Bytes& request, Bytes& reply) {
        if (testing::commandOf(request) == 145) {
            reply.pop_back();
            testing::fixLength(reply);
        }
        return true;
    };
    uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(TVX_RegisterRead(c.handle, "VR", 32, 0, 1, data), TVX_ERR_REPLY_LENGTH);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[3], 4);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, ModbusAccess, ::testing::Values(Framing::tcp, Framing::rtu),
                         [](const auto& info) { return info.param == Framing::tcp ? "Ethernet" : "Serial"; });

}  // namespace
}  // namespace tvx
