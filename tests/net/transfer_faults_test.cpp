#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

// Under lost, duplicated and reordered datagrams every transfer
// either succeeds with identical bytes or reports an error: never success
// with wrong data. (Corrupted bytes are out of scope: on Ethernet the UDP
// checksum guards them, and the frames carry no CRC of their own.)
TEST(TransferFaults, EveryResultIsIntactOrAnError) {
    sim::FaultPlan plan;
    plan.seed = 2026;
    plan.dropRequests = 0.03;
    plan.dropReplies = 0.03;
    plan.duplicateReplies = 0.05;
    plan.reorderReplies = 0.05;
    testing::UdpSim sim("127.0.0.51", plan);
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_Open(TVX_LINK_ETHERNET, "127.0.0.51", &h), 0);
    TVX_SetTimeOut(h, 1000);
    std::mt19937 rng(7);
    int intact = 0, failed = 0, wrong = 0;
    for (int i = 0; i < 40; ++i) {
        std::vector<uint8_t> data(1 + rng() % 60000);
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        const std::string name = "F" + std::to_string(i);
        if (TVX_DownMemFile(h, data.data(), static_cast<uint32_t>(data.size()), name.c_str()) != 0) {
            ++failed;
            continue;
        }
        std::vector<uint8_t> back(data.size() + 64);
        uint32_t got = 0;
        if (TVX_UpFileToMem(h, back.data(), static_cast<uint32_t>(back.size()), name.c_str(), &got) != 0) {
            ++failed;
            continue;
        }
        back.resize(got);
        if (back == data)
            ++intact;
        else
            ++wrong;
    }
    TVX_Close(h);
    sim.stop();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(intact, 20) << failed << " failed";
    EXPECT_GT(sim.stats().droppedReplies + sim.stats().droppedRequests, 0u);
}

}  // namespace
}  // namespace tvx
