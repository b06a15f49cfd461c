#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/ethernet_link.h"
#include "link/handle.h"
#include "support/frames.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

using Clock = std::chrono::steady_clock;
using testing::UdpSim;

long msSince(Clock::time_point t) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

TVX_HANDLE openOrFail(const std::string& address) {
    TVX_HANDLE h = nullptr;
    const int32_t r = TVX_Open(TVX_LINK_ETHERNET, address.c_str(), &h);
    EXPECT_EQ(r, 0) << address;
    return h;
}

TEST(EthernetLink, OpenEveryQueryAndCloseOverUdp) {
    UdpSim sim("127.0.0.21");
    sim.controller.model().setInput(3, true);
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenEth("127.0.0.21", &h), 0);
    EXPECT_EQ(TVX_GetConnectType(h), TVX_LINK_ETHERNET);
    EXPECT_EQ(TVX_GetAxises(h), sim.controller.model().axisCount);
    uint8_t state = 9, on = 0;
    int32_t value = 0, bits = 0;
    uint32_t version = 0;
    char text[32] = {};
    float f = 0;
    uint8_t axis[17];
    TVX_SysSpecification sysRecord;
    TVX_ChildCard card;
    EXPECT_EQ(TVX_GetState(h, &state), 0);
    EXPECT_EQ(TVX_GetStopPauseTaskid(h, &state), 0);
    EXPECT_EQ(TVX_GetCurIpAddr(h, text), 0);
    EXPECT_EQ(TVX_GetClientId(h, &value), 0);
    EXPECT_EQ(TVX_GetSoftId(h, &value), 0);
    EXPECT_EQ(TVX_GetHardId(h, &value), 0);
    EXPECT_EQ(value, sim.controller.model().hardId);
    EXPECT_EQ(TVX_GetError(h, &value), 0);
    EXPECT_EQ(TVX_GetChipId(h, &value), 0);
    EXPECT_EQ(TVX_GetSoftVersion(h, &version, text, nullptr), 0);
    EXPECT_EQ(TVX_SetAxisEnable(h, 1, 1), 0);
    EXPECT_EQ(TVX_SetOutput(h, 4, 1), 0);
    EXPECT_EQ(TVX_GetIn(h, 3, &on), 0);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(TVX_GetOutput(h, 4, &on), 0);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(TVX_SetOutAll(h, 0, 7, 0x81), 0);
    EXPECT_EQ(TVX_GetInAll(h, 0, 7, &bits), 0);
    EXPECT_EQ(TVX_GetOutAll(h, 0, 7, &bits), 0);
    EXPECT_EQ(bits, 0x81);
    EXPECT_EQ(TVX_SetDaOut(h, 1, 55), 0);
    EXPECT_EQ(TVX_GetDaOut(h, 1, &f), 0);
    EXPECT_EQ(TVX_GetAIn(h, 1, &f), 0);
    EXPECT_EQ(TVX_GetAxisStates(h, 0, axis), 0);
    EXPECT_EQ(TVX_GetAxisFeatures(h, 0, &value), 0);
    EXPECT_EQ(TVX_GetSysSpecification(h, &sysRecord), 0);
    EXPECT_EQ(TVX_GetTaskState(h, 0, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(TVX_GetTaskStackState(h, 0, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_NE(TVX_EnumChildCard(h, 0, &card), 0);  // the simulator has no cards
    EXPECT_EQ(TVX_GetMac(h, text), 0);
    const auto t = Clock::now();
    EXPECT_EQ(TVX_Close(h), 0);
    EXPECT_LT(msSince(t), 500);
    EXPECT_EQ(TVX_GetState(h, &state), TVX_ERR_INVALID_HANDLE);
}

TEST(EthernetLink, PortSuffixIsKeptButDatagramsGoToPort502) {
    UdpSim sim("127.0.0.22");
    ASSERT_TRUE(sim.start());
    struct Case {
        const char* address;
        uint16_t port;
    } cases[] = {{"127.0.0.22:8000", 8000}, {"127.0.0.22:", 502}, {"127.0.0.22", 502}};
    for (const Case& c : cases) {
        TVX_HANDLE h = openOrFail(c.address);
        ASSERT_NE(h, nullptr);
        const EthernetLink* link = ethernetLinkOf(*fromApi(h));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->port, c.port) << c.address;
        EXPECT_STREQ(link->address, "127.0.0.22");
        uint8_t s = 0;
        EXPECT_EQ(TVX_GetState(h, &s), 0);
        TVX_Close(h);
    }
    TVX_HANDLE h = nullptr;
    const std::string tooLong(1024, '1');
    EXPECT_EQ(TVX_Open(TVX_LINK_ETHERNET, tooLong.c_str(), &h), TVX_ERR_BAD_ARGUMENT);
    const std::string longPort = "127.0.0.22:" + std::string(256, '5');
    EXPECT_EQ(TVX_Open(TVX_LINK_ETHERNET, longPort.c_str(), &h), TVX_ERR_BAD_ARGUMENT);
    const std::string hugePort = "127.0.0.22:" + std::string(255, '9');
    ASSERT_EQ(TVX_Open(TVX_LINK_ETHERNET, hugePort.c_str(), &h), 0);  // the port is kept modulo 65536
    TVX_Close(h);
}

TEST(EthernetLink, LostRepliesAreRecoveredByResending) {
    sim::FaultPlan plan;
    plan.seed = 42;
    plan.dropReplies = 0.3;
    UdpSim sim("127.0.0.23", plan);
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = openOrFail("127.0.0.23");
    ASSERT_NE(h, nullptr);
    int failures = 0;
    for (int i = 0; i < 200; ++i) {
        int32_t v = 0;
        failures += TVX_GetHardId(h, &v) != 0 || v != sim.controller.model().hardId;
    }
    TVX_Close(h);
    sim.stop();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(sim.stats().droppedReplies, 20u);
}

// The adaptive policy on a real socket and clock: every loss is recovered,
// and the waits stay near the loopback round trip instead of 30 ms.
TEST(EthernetLink, AdaptiveResendRecoversLossesWithinItsCap) {
    sim::FaultPlan plan;
    plan.seed = 43;
    plan.dropReplies = 0.3;
    UdpSim sim("127.0.0.29", plan);
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = openOrFail("127.0.0.29");
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(TVX_SetResendPolicy(h, TVX_RESEND_ADAPTIVE, 1, 20), 0);
    int failures = 0;
    for (int i = 0; i < 200; ++i) {
        int32_t v = 0;
        failures += TVX_GetHardId(h, &v) != 0 || v != sim.controller.model().hardId;
    }
    uint32_t first = 0, smoothed = 0, variation = 0;
    EXPECT_EQ(TVX_GetResendEstimate(h, &first, &smoothed, &variation), 0);
    TVX_Close(h);
    sim.stop();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(sim.stats().droppedReplies, 20u);
    EXPECT_GE(first, 1u);
    EXPECT_LE(first, 20u);
    EXPECT_GT(smoothed, 0u);
}

TEST(EthernetLink, LateReplyToTheFirstAttemptIsAccepted) {
    sim::FaultPlan plan;
    plan.delayMs = 45;  // after the first 30 ms wait, before the second ends
    UdpSim sim("127.0.0.24", plan);
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = openOrFail("127.0.0.24");
    ASSERT_NE(h, nullptr);
    const uint32_t before = sim.withModel([](auto& m) { return m.duplicatesAnswered; });
    uint8_t s = 0;
    ASSERT_EQ(TVX_GetState(h, &s), 0);
    // The resend was answered from memory; the first answer was taken.
    EXPECT_GE(sim.withModel([](auto& m) { return m.duplicatesAnswered; }) - before, 1u);
    TVX_Close(h);
}

TEST(EthernetLink, ForeignDatagramsAreIgnored) {
    UdpSim sim("127.0.0.25");
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = openOrFail("127.0.0.25");
    ASSERT_NE(h, nullptr);
    const uint16_t localPort = ethernetLinkOf(*fromApi(h))->socket.localPort();
    std::atomic<bool> done{false};
    std::thread intruder([&] {
        platform::UdpSocket s;
        s.open();
        uint32_t ip = 0;
        platform::parseIpv4("127.0.0.77", &ip);
        s.bind(ip, 0);
        uint32_t target = 0;
        platform::parseIpv4("127.0.0.1", &target);
        // Noise, and well-formed replies that answer nothing pending.
        const testing::Bytes noise = {1, 2, 3, 4, 5};
        const testing::Bytes stale = testing::tcpFrame(254, 72, testing::replyPacket(114, 0xBEEF, 0, {9, 9, 9, 9}));
        while (!done) {
            s.sendTo(target, localPort, noise.data(), noise.size());
            s.sendTo(target, localPort, stale.data(), stale.size());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    int wrong = 0;
    for (int i = 0; i < 300; ++i) {
        int32_t v = 0;
        wrong += TVX_GetHardId(h, &v) != 0 || v != sim.controller.model().hardId;
    }
    done = true;
    intruder.join();
    EXPECT_EQ(wrong, 0);
    TVX_Close(h);
}

// A controller stand-in at `address`: every request is answered (status 0,
// a zeroed system record) from the socket `answerFrom` chooses, so the
// answer can come from another address or another port.
class AnsweringFrom {
public:
    AnsweringFrom(const char* address, const char* answerAddress, uint16_t answerPort) {
        uint32_t ip = 0;
        uint32_t answerIp = 0;
        platform::parseIpv4(address, &ip);
        platform::parseIpv4(answerAddress, &answerIp);
        ok_ = listen_.open() && listen_.bind(ip, 502) && listen_.setReceiveTimeout(20) && answer_.open() &&
              answer_.bind(answerIp, answerPort);
        thread_ = std::thread([this] { run(); });
    }
    ~AnsweringFrom() {
        done_ = true;
        thread_.join();
    }
    bool ok() const { return ok_; }

private:
    void run() {
        uint8_t request[2048];
        while (!done_) {
            uint32_t from = 0;
            uint16_t port = 0;
            const int n = listen_.receiveFrom(request, sizeof request, &from, &port);
            if (n < 14) continue;
            const testing::Bytes frame(request, request + n);
            const uint16_t command = testing::requestCommand(frame, true);
            if (command == 0) continue;  // keep-alive
            const testing::Bytes reply = testing::tcpFrame(
                254, 72, testing::replyPacket(command, testing::requestSequence(frame, true), 0, testing::Bytes(60, 0)));
            answer_.sendTo(from, port, reply.data(), reply.size());
        }
    }
    platform::UdpSocket listen_;
    platform::UdpSocket answer_;
    bool ok_ = false;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Replies count only from the controller's address; its port does not
// matter (controllers may answer or push from another one).
TEST(EthernetLink, RepliesAreTakenOnlyFromTheControllersAddress) {
    const struct {
        const char* answerAddress;
        uint16_t answerPort;
        int32_t result;
    } cases[] = {
        {"127.0.0.28", 0, TVX_OK},                // the controller's address, another port
        {"127.0.0.79", 502, TVX_CH_NO_REPLY},     // another host answering for it
    };
    for (const auto& k : cases) {
        AnsweringFrom controller("127.0.0.28", k.answerAddress, k.answerPort);
        ASSERT_TRUE(controller.ok());
        TVX_HANDLE h = nullptr;
        EXPECT_EQ(TVX_FastOpen(TVX_LINK_ETHERNET, "127.0.0.28", 300, &h), k.result) << k.answerAddress;
        if (h) TVX_Close(h);
    }
}

// The open's budget bounds the whole open against an address that never
// answers: the waits between resends stop when the budget is spent.
TEST(EthernetLink, OpenToASilentAddressEndsWithinItsBudget) {
    const struct {
        uint32_t budget;
        bool full;  // TVX_Open's full sequence, with the transfer probe
    } cases[] = {{1000, false}, {1000, true}, {5000, true}};
    for (const auto& k : cases) {
        TVX_HANDLE h = nullptr;
        const auto t = Clock::now();
        const int32_t r = k.budget == 5000 ? TVX_Open(TVX_LINK_ETHERNET, "127.0.0.98", &h)
                          : k.full       ? TVX_OpenWithTimeOut(TVX_LINK_ETHERNET, "127.0.0.98", k.budget, &h)
                                         : TVX_FastOpen(TVX_LINK_ETHERNET, "127.0.0.98", k.budget, &h);
        const long took = msSince(t);
        EXPECT_EQ(r, TVX_CH_NO_REPLY) << k.budget;
        EXPECT_EQ(h, nullptr);
        EXPECT_GE(took, static_cast<long>(k.budget) - 50) << k.budget;
        EXPECT_LT(took, static_cast<long>(k.budget) + 400) << k.budget;
    }
}

TEST(EthernetLink, IdleHandleSendsKeepAlives) {
    UdpSim sim("127.0.0.26");
    ASSERT_TRUE(sim.start());
    setKeepAliveIntervalMs(50);
    TVX_HANDLE h = openOrFail("127.0.0.26");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const uint32_t keepAlives = sim.withModel([](auto& m) { return m.keepAlives; });
    EXPECT_GE(keepAlives, 4u);
    const auto t = Clock::now();
    TVX_Close(h);
    EXPECT_LT(msSince(t), 500);
    setKeepAliveIntervalMs(5000);
}

TEST(EthernetLink, OpenEthGivesUpWithinAboutAHundredMilliseconds) {
    TVX_HANDLE h = nullptr;
    const auto t = Clock::now();
    EXPECT_EQ(TVX_OpenEth("127.0.0.99", &h), TVX_ERR_ETHERNET);
    EXPECT_LT(msSince(t), 500);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(TVX_SearchAndOpenEth(nullptr, 100, &h), TVX_ERR_DISCOVERY_ARGUMENT);
    EXPECT_EQ(TVX_SearchEth(nullptr, 10, 10), TVX_ERR_DISCOVERY_ARGUMENT);
}

TEST(EthernetLink, ConcurrentOpensToSeveralSimulatorsAllSucceed) {
    std::vector<std::unique_ptr<UdpSim>> sims;
    for (int i = 0; i < 4; ++i) {
        sims.push_back(std::make_unique<UdpSim>("127.0.0." + std::to_string(41 + i)));
        ASSERT_TRUE(sims.back()->start());
    }
    std::vector<int32_t> results(12, -1);
    std::vector<TVX_HANDLE> handles(12, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 12; ++i)
        threads.emplace_back([&, i] {
            // A generous probe budget: this is about opens racing for the
            // handle table, not about how fast a loaded machine answers.
            results[i] = TVX_SearchAndOpenEth(sims[i % 4]->address().c_str(), 3000, &handles[i]);
            uint8_t s = 0;
            if (results[i] == 0) results[i] = TVX_GetState(handles[i], &s);
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(results[i], 0) << i;
        EXPECT_STREQ(TVX_GetConnectString(handles[i]), sims[i % 4]->address().c_str());
        TVX_Close(handles[i]);
    }
}

TEST(EthernetLink, OpenEth2TakesNetworkByteOrder) {
    UdpSim sim("127.0.0.27");
    ASSERT_TRUE(sim.start());
    const uint8_t bytes[4] = {127, 0, 0, 27};
    uint32_t ip;
    std::memcpy(&ip, bytes, 4);
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_OpenEth2(ip, &h), 0);
    EXPECT_STREQ(TVX_GetConnectString(h), "127.0.0.27");
    TVX_Close(h);
}

bool isolated() { return std::getenv("TVX_NET_ISOLATED") != nullptr; }

TEST(Discovery, SearchListsEverySimulator) {
    if (!isolated()) GTEST_SKIP() << "broadcasts only inside a network namespace";
    UdpSim a("127.0.0.31"), b("127.0.0.32");
    ASSERT_TRUE(a.start(502, true));
    ASSERT_TRUE(b.start(502, true));
    char buffer[256];
    ASSERT_EQ(TVX_SearchEth(buffer, sizeof buffer, 200), 0);
    const std::string found(buffer);
    EXPECT_NE(found.find("127.0.0.31 "), std::string::npos) << found;
    EXPECT_NE(found.find("127.0.0.32 "), std::string::npos) << found;
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back(), ' ');
}

TEST(Discovery, BufferMustHoldAddressBlankAndTerminator) {
    if (!isolated()) GTEST_SKIP() << "broadcasts only inside a network namespace";
    UdpSim sim("127.100.100.100");
    ASSERT_TRUE(sim.start(502, true));
    char buffer[17];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(TVX_SearchEth(buffer, 16, 100), 0);
    EXPECT_STREQ(buffer, "");
    ASSERT_EQ(TVX_SearchEth(buffer, 17, 100), 0);
    EXPECT_STREQ(buffer, "127.100.100.100 ");
    char none[1] = {'x'};
    EXPECT_EQ(TVX_SearchEth(none, 0, 20), 0);
    EXPECT_EQ(none[0], 'x');  // a zero-size buffer is never written
}

}  // namespace
}  // namespace tvx
