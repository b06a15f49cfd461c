// The library against the simulated controller's screen and camera.
#include <gtest/gtest.h>

#include <vector>

#include "engine/display_service.h"
#include "frame/library_frame.h"
#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::InProcessController;

class SimScreen : public ::testing::TestWithParam<Framing> {
protected:
    void SetUp() override {
        libraryLoad();
        ASSERT_EQ(c.open(), 0);
        service = c.controller.service<sim::DisplayService>();
        ASSERT_NE(service, nullptr);
        ASSERT_EQ(TVX_ELcdOpen(c.handle, 0, &screen.info), 0);
        pixels.assign(static_cast<size_t>(screen.info.width * screen.info.height), 0);
    }
    int32_t refresh() {
        const int32_t r = TVX_ELcdDataCheckAndGetAll(c.handle, 0, &screen, pixels.data());
        return r != 0 ? r : TVX_ELcdDataGetEnd(c.handle, 0);
    }
    const std::vector<uint16_t>& frame() const { return service->panel().frame().pixels(); }

    InProcessController c{GetParam()};
    sim::DisplayService* service = nullptr;
    TVX_LcdScreen screen{};
    std::vector<uint16_t> pixels;
};

TEST_P(SimScreen, MirrorsTheFrameBufferAndFollowsTouches) {
    EXPECT_EQ(screen.info.width, 800);
    EXPECT_EQ(screen.info.height, 480);
    EXPECT_EQ(screen.info.bitsPerPixel, 16);
    ASSERT_EQ(refresh(), 0);
    EXPECT_EQ(screen.regions.count, 1);  // the whole screen after an open
    EXPECT_TRUE(pixels == frame());

    // "+1" is the third button of the right-hand column.
    ASSERT_EQ(TVX_ELcdMouseSet(c.handle, 0, 1, 690, 316), 0);
    ASSERT_EQ(TVX_ELcdKeySet(c.handle, 0, 13, 1), 0);
    ASSERT_EQ(TVX_ELcdCoderSet(c.handle, 1, 2, 300, -4), 0);
    const std::vector<uint16_t> before = pixels;
    ASSERT_EQ(refresh(), 0);
    EXPECT_GE(screen.regions.count, 1);
    EXPECT_LE(screen.regions.count, 5);
    EXPECT_TRUE(pixels == frame());
    EXPECT_FALSE(pixels == before);
    EXPECT_EQ(c.controller.console().interpreter().variables().vr()[0], 1);

    // Nothing changed: nothing fetched (the clock ticks once a second, so
    // allow for its region).
    ASSERT_EQ(refresh(), 0);
    EXPECT_LE(screen.regions.count, 1);
    EXPECT_TRUE(pixels == frame());
}

TEST_P(SimScreen, FetchesTheCameraTestPicture) {
    int32_t w = 0, h = 0, bits = 0;
    ASSERT_EQ(TVX_NVLatinImgGetInfo(c.handle, 0, &w, &h, &bits, nullptr), 0);
    std::vector<uint16_t> image(static_cast<size_t>(w * h));
    ASSERT_EQ(TVX_NVLatinImgGet(c.handle, 0, &w, &h, &bits, image.data(), w * h * 2), 0);
    EXPECT_TRUE(image == service->cameras().find(0)->pixels());
    // An image the controller does not have: its error passes through.
    EXPECT_NE(TVX_NVLatinImgGetInfo(c.handle, 9, &w, &h, &bits, nullptr), 0);
}

INSTANTIATE_TEST_SUITE_P(Framings, SimScreen, ::testing::Values(Framing::tcp, Framing::rtu));

// Every pixel a check changes lies in one of the regions it reports, and
// there are never more than five.
TEST(SimLcdPanel, ChangedRegionsCoverEveryChange) {
    sim::LcdPanel panel;
    sim::PanelValues v;
    ASSERT_EQ(panel.check(v).size(), 1u);
    for (int step = 0; step < 4; ++step) {
        const std::vector<uint16_t> before = panel.frame().pixels();
        v.uptimeSeconds += 1;
        v.running = !v.running;
        v.vr[step % 3] += 5;
        panel.touch(sim::LcdPanel::kPress, 10, 10 + step);
        panel.key(step % 2 == 0, static_cast<uint16_t>(step), 1);
        panel.encoder(1, 2, step, -step);
        const std::vector<sim::PixelRect> regions = panel.check(v);
        ASSERT_GE(regions.size(), 1u);
        ASSERT_LE(regions.size(), sim::kMaxChangedRegions);
        const auto& after = panel.frame().pixels();
        for (uint32_t y = 0; y < sim::kLcdHeight; ++y)
            for (uint32_t x = 0; x < sim::kLcdWidth; ++x) {
                const size_t i = static_cast<size_t>(y) * sim::kLcdWidth + x;
                if (before[i] == after[i]) continue;
                bool inside = false;
                for (const auto& r : regions) inside |= x >= r.x && x < r.right() && y >= r.y && y < r.bottom();
                ASSERT_TRUE(inside) << "pixel " << x << "," << y << " changed outside the regions";
            }
    }
}

}  // namespace
}  // namespace tvx
