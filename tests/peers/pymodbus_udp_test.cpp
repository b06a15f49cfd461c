// The TVX_Modbus_ functions over Ethernet against pymodbus, a Modbus server
// nobody here wrote, serving UDP with MBAP framing on a loopback address.
// Runs inside a network namespace of its own (port 502).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/peer_process.h"
#include "tavrix.h"

namespace {

using tvx::testing::PeerProcess;

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kAddress = "127.0.0.81";

class PymodbusUdp : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        peer_ = new PeerProcess;
        std::string log;
        started_ = peer_->start({kPython, std::string(TVX_PEER_DIR) + "/pymodbus_udp_peer.py", kAddress}, 20000, &log);
        if (!started_) startLog_ = log;
    }
    static void TearDownTestSuite() {
        delete peer_;
        peer_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(started_) << "pymodbus peer did not start (python3-pymodbus installed?): " << startLog_;
        ASSERT_EQ(TVX_FastOpen(TVX_LINK_ETHERNET, kAddress, 2000, &h_), 0);
    }
    void TearDown() override {
        if (h_) TVX_Close(h_);
    }

    TVX_HANDLE h_ = nullptr;
    static inline PeerProcess* peer_ = nullptr;
    static inline bool started_ = false;
    static inline std::string startLog_;
};

// The peer starts with register i = 1000 + i and coil i on for i % 3 == 0.
TEST_F(PymodbusUdp, ReadsThePeersCoilsAndRegisters) {
    uint16_t words[3] = {};
    ASSERT_EQ(TVX_Modbus_Get4x(h_, 90, 3, words), 0);
    EXPECT_EQ(words[0], 1090);
    EXPECT_EQ(words[2], 1092);
    uint8_t bits[2] = {0xFF, 0xFF};
    ASSERT_EQ(TVX_Modbus_Get0x(h_, 90, 10, bits), 0);
    EXPECT_EQ(bits[0], 0x49);  // coils 90, 93, 96
    EXPECT_EQ(bits[1], 0x02);  // coil 99; bits of coils past the count cleared
}

TEST_F(PymodbusUdp, SingleAndMultipleWritesLandInThePeer) {
    const uint16_t one = 4321;
    const uint16_t three[3] = {7, 0x8001, 65535};
    ASSERT_EQ(TVX_Modbus_Set4x(h_, 10, 1, &one), 0);     // function 6
    ASSERT_EQ(TVX_Modbus_Set4x(h_, 11, 3, three), 0);    // function 16
    uint16_t back[5] = {};
    ASSERT_EQ(TVX_Modbus_Get4x(h_, 9, 5, back), 0);
    EXPECT_EQ(back[0], 1009);  // untouched neighbours
    EXPECT_EQ(back[1], 4321);
    EXPECT_EQ(back[2], 7);
    EXPECT_EQ(back[3], 0x8001);
    EXPECT_EQ(back[4], 65535);

    const uint8_t on = 0xFE | 1, off = 0xFE;  // only bit 0 counts for one coil
    ASSERT_EQ(TVX_Modbus_Set0x(h_, 40, 1, &on), 0);   // function 5, 0xFF00
    ASSERT_EQ(TVX_Modbus_Set0x(h_, 41, 1, &off), 0);  // function 5, 0x0000
    const uint8_t pattern[2] = {0xA5, 0x03};
    ASSERT_EQ(TVX_Modbus_Set0x(h_, 50, 10, pattern), 0);  // function 15
    uint8_t bits[2] = {};
    ASSERT_EQ(TVX_Modbus_Get0x(h_, 40, 2, bits), 0);
    EXPECT_EQ(bits[0], 0x01);
    ASSERT_EQ(TVX_Modbus_Get0x(h_, 50, 10, bits), 0);
    EXPECT_EQ(bits[0], 0xA5);
    EXPECT_EQ(bits[1], 0x03);
}

// 32-bit values take two registers, low half first, as the peer stores them.
TEST_F(PymodbusUdp, LongsAndFloatsInTheControllersWordOrder) {
    const uint32_t value = 0x0A0B0C0D;
    ASSERT_EQ(TVX_Modbus_SetLong(h_, 20, 1, &value), 0);
    uint16_t words[2] = {};
    ASSERT_EQ(TVX_Modbus_Get4x(h_, 20, 2, words), 0);
    EXPECT_EQ(words[0], 0x0C0D);
    EXPECT_EQ(words[1], 0x0A0B);

    const float f[2] = {1.5f, -2.25e6f};
    uint32_t bits[2];
    std::memcpy(bits, f, sizeof bits);
    ASSERT_EQ(TVX_Modbus_SetIEEE(h_, 30, 2, bits), 0);
    uint32_t back[2] = {};
    ASSERT_EQ(TVX_Modbus_GetIEEE(h_, 30, 2, back), 0);
    float g[2];
    std::memcpy(g, back, sizeof g);
    EXPECT_EQ(g[0], 1.5f);
    EXPECT_EQ(g[1], -2.25e6f);
    uint32_t asLong = 0;
    ASSERT_EQ(TVX_Modbus_GetLong(h_, 20, 1, &asLong), 0);
    EXPECT_EQ(asLong, value);
}

TEST_F(PymodbusUdp, ThePeersExceptionsBecomeResultCodes) {
    uint16_t words[130] = {};
    uint8_t bits[2] = {};
    const uint16_t two[2] = {1, 2};
    EXPECT_EQ(TVX_Modbus_Get4x(h_, 99, 2, words), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(TVX_Modbus_Get0x(h_, 95, 10, bits), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(TVX_Modbus_Set4x(h_, 99, 2, two), TVX_CH_ILLEGAL_ADDRESS);
    EXPECT_EQ(TVX_Modbus_Get4x(h_, 0, 126, words), TVX_CH_ILLEGAL_VALUE);  // above 125 registers
    // The link still works afterwards.
    EXPECT_EQ(TVX_Modbus_Get4x(h_, 0, 1, words), 0);
    EXPECT_EQ(words[0], 1000);
}

}  // namespace
