// The serial link end to end: the library opens pseudo-terminals as COM
// ports (through TAVRIX_COMn) with the simulated controller, or nobody, on
// the far side.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "channel/request_codes.h"
#include "link/serial_link.h"
#include "support/inprocess_fixture.h"
#include "support/pty_controller.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::ComMapping;
using testing::PtyController;
using testing::SilentPty;
using Clock = std::chrono::steady_clock;

uint32_t msSince(Clock::time_point start) {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The serial defaults are process-wide: every test leaves them as it found them.
class SerialLink : public ::testing::Test {
protected:
    void TearDown() override {
        TVX_SetComDefaultBaud(38400, 8, 0, 0);
        TVX_SetComDefaultID(254);
    }
};

TEST_F(SerialLink, ComAddressesReadTheNumberAfterCom) {
    const struct {
        const char* text;
        bool accepted;
        int32_t port;
    } cases[] = {
        {"COM   3", true, 3},        {"com7", true, 7},         {"COM12x", true, 12},
        {"COM-1", true, -1},         {"COM", true, 0},          {"COM 99999999999", true, -1},
        {"XCOM3", false, 0},         {"CO", true, 0},           {"", true, 0},
        {"c", true, 0},
    };
    for (const auto& c : cases) {
        int32_t port = 12345;
        EXPECT_EQ(parseComAddress(c.text, &port), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(port, c.port) << c.text;
        }
    }
}

TEST_F(SerialLink, PortsOutsideTheRangeOpenNothing) {
    // The controller is mapped to both numbers: a port that were opened
    // would answer.
    PtyController c(1);
    ComMapping zero(0, c.device()), over(1025, c.device());
    c.start();
    TVX_HANDLE h = nullptr;
    EXPECT_EQ(TVX_OpenCom(0, &h), TVX_ERR_SERIAL);
    EXPECT_EQ(TVX_OpenCom(1025, &h), TVX_ERR_SERIAL);
    EXPECT_EQ(TVX_Open(TVX_LINK_SERIAL, "COM-3", &h), TVX_ERR_SERIAL);
    // A text shorter than "COM" reads as port 0.
    EXPECT_EQ(TVX_Open(TVX_LINK_SERIAL, "CO", &h), TVX_ERR_SERIAL);
    EXPECT_EQ(TVX_Open(TVX_LINK_SERIAL, "TTY3", &h), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(h, nullptr);
    c.stop();
    EXPECT_EQ(c.stats().bytesIn, 0u);
}

TEST_F(SerialLink, UnmappableOrMissingDeviceGivesSerialError) {
    ComMapping missing(7, "/nonexistent/tty");
    ComMapping notATerminal(8, "/dev/null");
    TVX_HANDLE h = nullptr;
    EXPECT_EQ(TVX_PeakCom(7, 300, &h), TVX_ERR_SERIAL);
    EXPECT_EQ(TVX_PeakCom(8, 300, &h), TVX_ERR_SERIAL);
}

TEST_F(SerialLink, OpensQueriesAndClosesOverTheLine) {
    PtyController c(2);
    c.controller.model().axisCount = 6;
    c.start();
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenCom(2, &h), 0);
    EXPECT_EQ(TVX_GetConnectType(h), TVX_LINK_SERIAL);
    EXPECT_STREQ(TVX_GetConnectString(h), "COM   2");
    EXPECT_EQ(TVX_GetAxises(h), 6);
    uint8_t state = 0xEE;
    EXPECT_EQ(TVX_GetState(h, &state), 0);
    EXPECT_EQ(state, c.controller.model().runState);
    char answer[64] = {};
    ASSERT_EQ(TVX_Execute(h, "?1+2\n", 2000, answer, sizeof answer), 0);
    EXPECT_NE(std::string(answer).find('3'), std::string::npos) << answer;
    EXPECT_EQ(TVX_Close(h), 0);
    // The port is free again for the next open.
    ASSERT_EQ(TVX_PeakCom(2, 1000, &h), 0);
    EXPECT_EQ(TVX_Close(h), 0);
    c.stop();
    // Every request went out in RTU framing to the broadcast station.
    for (const Bytes& f : c.requests()) {
        ASSERT_GE(f.size(), 4u);
        EXPECT_EQ(f[0], kBroadcastStation);
        EXPECT_EQ(testing::referenceCrc(f.data(), f.size() - 2), getU16(f.data() + f.size() - 2));
    }
}

TEST_F(SerialLink, FileRoundTripUsesSmallBlocksOneAtATime) {
    PtyController c(3);
    c.start();
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenCom(3, &h), 0);
    std::vector<uint8_t> file(1000);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(TVX_DownMemFile(h, file.data(), static_cast<uint32_t>(file.size()), "serial.bin"), 0);
    std::vector<uint8_t> back(2000);
    uint32_t received = 0;
    ASSERT_EQ(TVX_UpFileToMem(h, back.data(), static_cast<uint32_t>(back.size()), "serial.bin", &received), 0);
    ASSERT_EQ(received, file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), back.begin()));
    TVX_Close(h);
    c.stop();
    // Download blocks (number not 0) carry at most 192 bytes each, and
    // every request was answered: nothing went out unacknowledged.
    std::vector<uint16_t> counts;
    for (const Bytes& f : c.requests()) {
        constexpr size_t args = 2 + 6;
        if (f[1] != 72 || getU16(f.data() + 4) != req::fileDown || f.size() < args + 4 + 2) continue;
        if (getU16(f.data() + args) != 0) counts.push_back(getU16(f.data() + args + 2));
    }
    EXPECT_EQ(counts, (std::vector<uint16_t>{192, 192, 192, 192, 192, 40}));
    EXPECT_EQ(c.stats().replies, c.stats().frames);
}

TEST_F(SerialLink, DefaultsAreTheLineOfLaterOpens) {
    PtyController c(4);
    c.line().baud = 9600;
    c.start();
    TVX_HANDLE h = nullptr;
    // At 38400 the controller understands nothing.
    EXPECT_EQ(TVX_PeakCom(4, 300, &h), TVX_CH_NO_REPLY);
    ASSERT_EQ(TVX_SetComDefaultBaud(9600, 8, 0, 0), 0);
    ASSERT_EQ(TVX_PeakCom(4, 1000, &h), 0);
    EXPECT_EQ(c.hostBaud(), 9600u);
    TVX_Close(h);

    // Station 0 means the broadcast station, which every controller answers.
    ASSERT_EQ(TVX_SetComDefaultID(0), 0);
    EXPECT_EQ(serialDefaults().station, kBroadcastStation);
    ASSERT_EQ(TVX_SetComDefaultID(9), 0);
    EXPECT_EQ(TVX_PeakCom(4, 300, &h), TVX_CH_NO_REPLY);  // the controller is station 1
    ASSERT_EQ(TVX_SetComDefaultID(1), 0);
    ASSERT_EQ(TVX_PeakCom(4, 1000, &h), 0);
    // The handle's own station: another one goes unanswered, 0 is 254.
    EXPECT_EQ(TVX_SetComCurID(h, 9), 0);
    uint8_t state;
    TVX_SetTimeOut(h, 300);
    EXPECT_EQ(TVX_GetState(h, &state), TVX_CH_NO_REPLY);
    EXPECT_EQ(TVX_SetComCurID(h, 0), 0);
    EXPECT_EQ(TVX_GetState(h, &state), 0);
    TVX_Close(h);
    EXPECT_EQ(TVX_SetComCurID(h, 1), TVX_ERR_INVALID_HANDLE);
    c.stop();
    EXPECT_EQ(c.requests().back()[0], kBroadcastStation);
}

TEST_F(SerialLink, TempModBaudMovesBothEndsOfTheLine) {
    PtyController c(5);
    c.start();
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenCom(5, &h), 0);
    // A rate the controller refuses leaves both ends where they were.
    EXPECT_EQ(TVX_TempModBaud(h, 12345), 3204);
    EXPECT_EQ(c.hostBaud(), 38400u);
    ASSERT_EQ(TVX_TempModBaud(h, 115200), 0);
    EXPECT_EQ(c.hostBaud(), 115200u);
    uint8_t state;
    EXPECT_EQ(TVX_GetState(h, &state), 0);  // still understood at the new rate
    TVX_Close(h);
    EXPECT_EQ(TVX_TempModBaud(h, 9600), TVX_ERR_INVALID_HANDLE);
    c.stop();
    EXPECT_EQ(c.line().baud, 115200u);
    EXPECT_EQ(c.stats().wrongBaud, 0u);
}

TEST_F(SerialLink, TempModBaudOnEthernetSendsNothing) {
    testing::InProcessController e(Framing::tcp);
    ASSERT_EQ(e.open(), 0);
    const uint32_t before = e.link.sends.load();
    EXPECT_EQ(TVX_TempModBaud(e.handle, 9600), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(e.link.sends.load(), before);
}

TEST_F(SerialLink, ProbeOfASilentPortGivesUpWithinItsBudget) {
    SilentPty silent(6);
    TVX_HANDLE h = nullptr;
    const auto start = Clock::now();
    EXPECT_EQ(TVX_PeakCom(6, 300, &h), TVX_CH_NO_REPLY);
    const uint32_t elapsed = msSince(start);
    EXPECT_GE(elapsed, 290u);
    EXPECT_LT(elapsed, 1500u);
    EXPECT_EQ(h, nullptr);
}

TEST_F(SerialLink, SearchFindsTheControllerAmongSilentPorts) {
    TVX_HANDLE h = nullptr;
    uint32_t found = 0;
    auto start = Clock::now();
    EXPECT_EQ(TVX_SearchAndOpenCom(5, 4, &found, 0, &h), TVX_ERR_SERIAL);
    EXPECT_LT(msSince(start), 100u);
    EXPECT_EQ(TVX_SearchAndOpenCom(1, 1, &found, 0, nullptr), TVX_ERR_BAD_ARGUMENT);

    SilentPty a(11), b(12), d(14);
    PtyController c(13);
    c.start();
    start = Clock::now();
    ASSERT_EQ(TVX_SearchAndOpenCom(11, 14, &found, 0, &h), 0);
    EXPECT_EQ(found, 13u);
    EXPECT_GE(msSince(start), 2 * 290u);  // two silent ports first
    EXPECT_STREQ(TVX_GetConnectString(h), "COM  13");
    TVX_Close(h);
    // `found` is optional.
    ASSERT_EQ(TVX_SearchAndOpenCom(13, 13, nullptr, 0, &h), 0);
    TVX_Close(h);
}

TEST_F(SerialLink, LineFaultsOfTheController) {
    const struct {
        const char* what;
        bool noise;
        bool corrupt;
        uint32_t splitGapMs;
        int32_t expected;
    } cases[] = {
        {"noise before every reply", true, false, 0, 0},
        {"reply split by a gap under the idle limit", false, false, 1200, 0},
        {"reply split by a gap over the idle limit", false, false, 2600, TVX_CH_NO_REPLY},
        {"every reply with a wrong CRC", false, true, 0, TVX_CH_NO_REPLY},
    };
    for (const auto& c : cases) {
        sim::FaultPlan plan;
        plan.noise = c.noise ? 1.0 : 0.0;
        plan.corruptReplies = c.corrupt ? 1.0 : 0.0;
        PtyController controller(15, plan, c.splitGapMs);
        controller.start();
        TVX_HANDLE h = nullptr;
        EXPECT_EQ(TVX_PeakCom(15, 3500, &h), c.expected) << c.what;
        if (h) TVX_Close(h);
        controller.stop();
        if (c.noise) {
            EXPECT_GT(controller.stats().noise, 0u);
        }
    }
}

TEST_F(SerialLink, VanishedPortGivesAClearCodeAtOnce) {
    PtyController c(16);
    c.start();
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenCom(16, &h), 0);
    c.stop(true);  // the adapter is unplugged
    const auto start = Clock::now();
    uint8_t state;
    EXPECT_EQ(TVX_GetState(h, &state), TVX_ERR_NOT_OPEN);
    EXPECT_EQ(TVX_GetState(h, &state), TVX_ERR_NOT_OPEN);
    EXPECT_LT(msSince(start), 1000u);
    EXPECT_EQ(TVX_Close(h), 0);
}

TEST_F(SerialLink, PortVanishingDuringAWaitEndsTheWait) {
    auto controller = std::make_unique<PtyController>(18);
    controller->start();
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenCom(18, &h), 0);
    controller->stop();  // nobody answers from now on
    TVX_SetTimeOut(h, 5000);
    auto pending = std::async(std::launch::async, [h] {
        uint8_t state;
        return TVX_GetState(h, &state);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    controller.reset();  // closes the terminal
    ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(2000)), std::future_status::ready);
    EXPECT_EQ(pending.get(), TVX_ERR_NOT_OPEN);
    EXPECT_LT(msSince(start), 1000u);
    EXPECT_EQ(TVX_Close(h), 0);
}

}  // namespace
}  // namespace tvx
