#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/firmware_service.h"
#include "support/firmware_image_maker.h"
#include "support/test_files.h"
#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

// A sectioned firmware image under 1 % request loss arrives intact: lost
// blocks are resumed from the controller's position, section by section.
TEST(FirmwareLoss, SectionedImageArrivesIntactUnderRequestLoss) {
    sim::FaultPlan plan;
    plan.seed = 16;
    plan.dropRequests = 0.01;
    testing::UdpSim sim("127.0.0.61", plan);
    ASSERT_TRUE(sim.start());
    const uint32_t hardware = sim.withModel([](sim::ControllerModel& m) { return static_cast<uint32_t>(m.hardId); });
    std::mt19937 rng(16);
    std::vector<testing::SectionPlan> plans;
    for (int i = 0; i < 4; ++i) {
        testing::SectionPlan s;
        s.name = "section" + std::to_string(i);
        s.data.resize(200000 + 3001 * static_cast<size_t>(i));
        for (auto& b : s.data) b = static_cast<uint8_t>(rng());
        s.attribute = static_cast<uint32_t>(i);
        plans.push_back(std::move(s));
    }
    const std::string path = testing::tempPath("loss.fw");
    const testing::ImageBytes file = testing::makeSectionedImage(hardware, plans);
    testing::writeFile(path, file);

    TVX_HANDLE h = nullptr;
    ASSERT_EQ(TVX_Open(TVX_LINK_ETHERNET, "127.0.0.61", &h), 0);
    EXPECT_EQ(TVX_DownFirmWare(h, path.c_str()), 0);
    TVX_Close(h);
    sim.stop();
    std::remove(path.c_str());

    const auto& images = sim.controller.service<sim::FirmwareService>()->images();
    ASSERT_EQ(images.size(), 1u);
    ASSERT_EQ(images[0].sections.size(), plans.size());
    for (size_t i = 0; i < plans.size(); ++i) EXPECT_TRUE(images[0].sections[i].data == plans[i].data) << i;
    EXPECT_GT(sim.stats().droppedRequests, 0u);
}

}  // namespace
}  // namespace tvx
