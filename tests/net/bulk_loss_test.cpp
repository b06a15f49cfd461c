#include <gtest/gtest.h>

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

// A file of many windows (2 MiB: about 2100 blocks of 992 bytes, windows of
// 100) goes down and comes back intact under 1 % loss of requests and of
// replies: every loss is recovered, by a resumption for a lost block and by
// a resend for a lost acknowledgement or upload block, and the transfer
// never gives up while it advances.
struct LossCase {
    const char* name;
    const char* address;
    double requestLoss;
    double replyLoss;
};

void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }

class BulkLoss : public ::testing::TestWithParam<LossCase> {};

TEST_P(BulkLoss, LargeFileDownAndUpIntact) {
    const LossCase& c = GetParam();
    sim::FaultPlan plan;
    plan.seed = 1919;
    plan.dropRequests = c.requestLoss;
    plan.dropReplies = c.replyLoss;
    testing::UdpSim sim(c.address, plan);
    sim::TransferSettings& s = sim.controller.transfers().settings();
    s.largestBlock = 992;
    s.uploadBlock = 992;
    s.window = 100;
    ASSERT_TRUE(sim.start());
    TVX_HANDLE h = nullptr;
    // The open itself may meet a loss; a second attempt follows.
    for (int attempt = 0; attempt < 3 && TVX_Open(TVX_LINK_ETHERNET, c.address, &h) != 0; ++attempt) {
    }
    ASSERT_NE(h, nullptr);

    std::vector<uint8_t> data(2u << 20);
    uint32_t x = 0x9E3779B9u;
    for (auto& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    ASSERT_EQ(TVX_DownMemFile(h, data.data(), static_cast<uint32_t>(data.size()), "LOSSY.BIN"), 0);
    {
        std::lock_guard<std::mutex> lock(sim.controller.mutex());
        const auto* stored = sim.controller.transfers().files().get("LOSSY.BIN");
        ASSERT_NE(stored, nullptr);
        EXPECT_TRUE(*stored == data) << "the controller's copy differs";
    }
    std::vector<uint8_t> back(data.size());
    uint32_t got = 0;
    ASSERT_EQ(TVX_UpFileToMem(h, back.data(), static_cast<uint32_t>(back.size()), "LOSSY.BIN", &got), 0);
    EXPECT_EQ(got, data.size());
    EXPECT_TRUE(back == data) << "the uploaded copy differs";
    TVX_Close(h);
    sim.stop();
    // The faults did happen: the test is not passing on a clean wire.
    if (c.requestLoss > 0) {
        EXPECT_GT(sim.stats().droppedRequests, 10u);
        EXPECT_GT(sim.controller.transfers().refusedBlocks(), 0u) << "no lost block was resumed";
    }
    if (c.replyLoss > 0) {
        EXPECT_GT(sim.stats().droppedReplies, 5u);
    }
}

INSTANTIATE_TEST_SUITE_P(OnePercent, BulkLoss,
                         ::testing::Values(LossCase{"Requests", "127.0.0.181", 0.01, 0},
                                           LossCase{"Replies", "127.0.0.182", 0, 0.01}),
                         [](const ::testing::TestParamInfo<LossCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tvx
