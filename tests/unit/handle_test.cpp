#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/handle.h"
#include "link/handle_table.h"
#include "support/inprocess_fixture.h"
#include "support/test_clock.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

class HandleOpen : public ::testing::TestWithParam<Framing> {};

TEST_P(HandleOpen, OpenSequenceQueriesSpecificationDisablesCycleUploadAndProbes) {
    InProcessController c(GetParam());
    c.model().axisCount = 0x0312;  // only the low byte is reported by TVX_GetAxises
    TVX_SetConnectSecureID(0xCAFE1234);
    ASSERT_EQ(c.open(), 0);
    TVX_SetConnectSecureID(0);
    ASSERT_GE(c.requests.size(), 3u);
    EXPECT_EQ(getU16(c.requests[0].data() + 2), 109);
    EXPECT_EQ(getU32(c.requests[0].data() + 6), 0xCAFE1234u);
    // The cycle-upload disable: length 13, buffer 0xFF, flag 0, zero word, empty text.
    const Bytes& disable = c.requests[1];
    EXPECT_EQ(getU16(disable.data() + 2), 427);
    EXPECT_EQ(disable, (Bytes{13, 0, 0xAB, 1, disable[4], disable[5], 0xFF, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(getU16(c.requests[2].data() + 2), 148);
    EXPECT_EQ(c.model().cycleUploadDisables, 1u);
    EXPECT_EQ(TVX_GetAxises(c.handle), 0x12);
    EXPECT_EQ(TVX_GetConnectType(c.handle), GetParam() == Framing::tcp ? 2 : 1);
    EXPECT_EQ(fromApi(c.handle)->windowedTransfer, 1);
    uint32_t timeout = 0;
    ASSERT_EQ(TVX_GetTimeOut(c.handle, &timeout), 0);
    EXPECT_EQ(timeout, 5000u);
}

TEST_P(HandleOpen, FastOpenKeepsTimeoutAndSkipsProbe) {
    InProcessController c(GetParam());
    ASSERT_EQ(c.open(true, 300), 0);
    uint32_t timeout = 0;
    ASSERT_EQ(TVX_GetTimeOut(c.handle, &timeout), 0);
    EXPECT_EQ(timeout, 300u);
    EXPECT_EQ(c.requests.size(), 2u);  // system record query and cycle-upload disable
    EXPECT_EQ(fromApi(c.handle)->windowedTransfer, 0);
}

TEST_P(HandleOpen, FailedSpecificationQueryLeavesNothingBehind) {
    testing::TestClock clock;
    testing::ScopedClock scoped(clock);
    InProcessController c(GetParam());
    c.filter = [](const Bytes&, Bytes&) { return false; };
    EXPECT_EQ(c.open(), TVX_CH_NO_REPLY);
    EXPECT_EQ(c.handle, nullptr);
    // Every slot is still free for open handles.
    std::vector<TVX_HANDLE> open;
    InProcessController ok(GetParam());
    for (int i = 0; i < kHandleSlots; ++i) {
        TVX_HANDLE x = nullptr;
        ASSERT_EQ(sim::openInProcess(ok.link, &x, true, 100), 0) << i;
        open.push_back(x);
    }
    for (TVX_HANDLE x : open) TVX_Close(x);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, HandleOpen, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

TEST(HandleTable, FullTableRefusesThenReusesAClosedSlot) {
    InProcessController c(Framing::tcp);
    std::vector<TVX_HANDLE> handles;
    for (int i = 0; i < kHandleSlots; ++i) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(sim::openInProcess(c.link, &h, true, 100), 0) << i;
        handles.push_back(h);
    }
    TVX_HANDLE extra = nullptr;
    EXPECT_EQ(sim::openInProcess(c.link, &extra, true, 100), TVX_ERR_NO_HANDLE);
    EXPECT_EQ(extra, nullptr);

    TVX_HANDLE closed = handles[17];
    ASSERT_EQ(TVX_Close(closed), 0);
    ASSERT_EQ(sim::openInProcess(c.link, &extra, true, 100), 0);
    EXPECT_NE(extra, nullptr);
    // The reaped record is gone from the table: its old handle stays refused.
    EXPECT_EQ(TVX_GetConnectType(closed), 255);
    handles[17] = extra;
    for (TVX_HANDLE h : handles) EXPECT_EQ(TVX_Close(h), 0);
}

// A record another thread is still opening looks closed (no magic yet):
// neither the age rule nor the full-table rule may take it.
TEST(HandleTable, RecordsBeingOpenedAreNeverReaped) {
    testing::TestClock clock(2000000);  // an uptime past the reaping age
    testing::ScopedClock scoped(clock);
    ControllerHandle* opening = allocateHandle();
    ASSERT_NE(opening, nullptr);
    ControllerHandle* other = allocateHandle();
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(inHandleTable(opening));
    releaseHandle(other);

    InProcessController c(Framing::tcp);
    std::vector<TVX_HANDLE> handles;
    for (int i = 0; i < kHandleSlots - 1; ++i) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(sim::openInProcess(c.link, &h, true, 100), 0) << i;
        handles.push_back(h);
    }
    EXPECT_EQ(allocateHandle(), nullptr);
    EXPECT_TRUE(inHandleTable(opening));
    for (TVX_HANDLE h : handles) TVX_Close(h);
    releaseHandle(opening);
    EXPECT_FALSE(inHandleTable(opening));
}

TEST(HandleTable, ClosedHandleIsRefusedEverywhere) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    TVX_HANDLE h = c.handle;
    ASSERT_EQ(TVX_Close(h), 0);
    c.handle = nullptr;
    uint32_t ms = 77;
    uint8_t state = 9;
    EXPECT_EQ(TVX_Close(h), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_SetTimeOut(h, 10), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_GetTimeOut(h, &ms), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(ms, 77u);
    EXPECT_EQ(TVX_GetState(h, &state), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(state, 9);
    EXPECT_EQ(TVX_GetConnectType(h), 255);
    EXPECT_EQ(TVX_GetConnectString(h), nullptr);
    EXPECT_EQ(TVX_GetAxises(h), 0);
    EXPECT_EQ(TVX_GetProgress(h), 0.0f);
    // Pointers that were never handles are refused without being read.
    int notAHandle = 0;
    EXPECT_EQ(TVX_GetState(reinterpret_cast<TVX_HANDLE>(&notAHandle), &state), TVX_ERR_INVALID_HANDLE);
    EXPECT_EQ(TVX_GetConnectType(nullptr), 255);
}

TEST(HandleTable, ConnectStringIsCutTo1023Characters) {
    InProcessController c(Framing::rtu);
    const std::string longAddress = "COM3" + std::string(2000, '7');
    c.link.address = longAddress.c_str();
    ASSERT_EQ(c.open(true, 100), 0);
    const char* kept = TVX_GetConnectString(c.handle);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(std::string(kept), longAddress.substr(0, 1023));
}

TEST(HandleOpenArguments, BadArgumentsAndUnavailableKinds) {
    TVX_HANDLE h = nullptr;
    EXPECT_EQ(TVX_Open(2, nullptr, &h), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_Open(2, "127.0.0.1", nullptr), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_Open(3, "x", &h), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(TVX_FastOpen(0, "x", 100, &h), TVX_ERR_BAD_ARGUMENT);
    // Serial addresses are checked before any port is touched.
    EXPECT_EQ(TVX_Open(1, "COM0", &h), TVX_ERR_SERIAL);
    EXPECT_EQ(TVX_Open(1, "PCI1", &h), TVX_ERR_BAD_ARGUMENT);
    // No card driver is set up for this test: there is no card 1.
    EXPECT_EQ(TVX_Open(4, "PCI1", &h), TVX_ERR_PCI_NO_CARD);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(TVX_GetTimeOut(nullptr, nullptr), TVX_ERR_INVALID_HANDLE);
}

// Unsolicited packets reach the host callback once per sequence, as a
// terminated copy of the text.
struct CallbackLog {
    static inline std::vector<std::string> texts;
    static inline std::vector<int32_t> values;
    static inline std::vector<int32_t> lengths;
    static void TVX_CDECL record(TVX_HANDLE, int32_t value, int32_t length, const char* data) {
        values.push_back(value);
        lengths.push_back(length);
        texts.emplace_back(data);
    }
};

TEST_P(HandleOpen, AutoUploadTextReachesCallbackOncePerSequence) {
    InProcessController c(GetParam());
    ASSERT_EQ(c.open(), 0);
    ControllerHandle* h = fromApi(c.handle);
    h->autoUpCallback.store(&CallbackLog::record);
    CallbackLog::texts.clear();
    CallbackLog::values.clear();
    CallbackLog::lengths.clear();
    auto push = [&](uint16_t seq, const Bytes& data, int lengthOverride = -1) {
        Bytes pkt = testing::replyPacket(400, seq, 99, data);
        if (lengthOverride >= 0) testing::fixLength(pkt), pkt[0] = static_cast<uint8_t>(lengthOverride), pkt[1] = 0;
        Bytes f = testing::frameFor(c.tcp(), 254, 73, pkt);
        sim::feedInProcess(c.handle, f.data(), f.size());
    };
    push(5, {'o', 'k'});
    push(5, {'o', 'k'});  // a repeat
    push(6, {'n', 'e', 'w'});
    push(7, {}, 6);  // too short to carry a value: never reaches the callback
    ASSERT_EQ(CallbackLog::texts.size(), 2u);
    EXPECT_EQ(CallbackLog::texts[0], "ok");
    EXPECT_EQ(CallbackLog::values[0], 99);
    EXPECT_EQ(CallbackLog::lengths[1], 3);
    EXPECT_EQ(h->unsolicitedCount.load(), 3u);  // the short packet is dropped by the receiver
}

TEST(Unsolicited, LargestEthernetTextLeavesTheHandleValid) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    fromApi(c.handle)->autoUpCallback.store(&CallbackLog::record);
    CallbackLog::texts.clear();
    CallbackLog::lengths.clear();
    Bytes text(2030, 'x');
    Bytes f = testing::tcpFrame(254, 73, testing::replyPacket(400, 1234, 1, text));
    ASSERT_EQ(f.size(), 2048u);
    sim::feedInProcess(c.handle, f.data(), f.size());
    ASSERT_EQ(CallbackLog::lengths.size(), 1u);
    EXPECT_EQ(CallbackLog::lengths[0], 2030);
    EXPECT_EQ(CallbackLog::texts[0].size(), 2030u);
    uint8_t state = 0;
    EXPECT_EQ(TVX_GetState(c.handle, &state), 0);
}

}  // namespace
}  // namespace tvx
