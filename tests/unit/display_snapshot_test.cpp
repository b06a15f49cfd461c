// The picture commands' capture and PNG code against the simulated
// controller: a snapshot read back from its PNG equals the simulator's frame
// buffer pixel for pixel, and a camera picture survives PNG both ways.
#include <gtest/gtest.h>

#include <string>

#include "engine/display_service.h"
#include "frame/library_frame.h"
#include "server/camera_png.h"
#include "support/inprocess_fixture.h"
#include "support/test_files.h"
#include "tvx/png_image.h"
#include "tvx/screen_capture.h"

namespace tvx {
namespace {

TEST(DisplaySnapshot, PngEqualsTheSimulatorsFrameBuffer) {
    libraryLoad();
    testing::InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    // Something on the screen beyond its start-up state.
    ASSERT_EQ(TVX_ELcdKeySet(c.handle, 0, 65, 1), 0);
    tool::Picture565 shot;
    ASSERT_EQ(tool::captureScreen(c.handle, 0, &shot), 0);
    const std::string path = testing::tempPath("lcd.png");
    std::string error;
    ASSERT_TRUE(tool::writePng(path, shot, &error)) << error;
    tool::Picture565 back;
    ASSERT_TRUE(tool::readPng(path, &back, &error)) << error;
    const sim::PixelImage& frame = c.controller.service<sim::DisplayService>()->panel().frame();
    EXPECT_EQ(back.width, frame.width());
    EXPECT_EQ(back.height, frame.height());
    EXPECT_TRUE(back.pixels == frame.pixels());
    std::remove(path.c_str());
}

TEST(DisplaySnapshot, CameraPictureThroughPngBothWays) {
    libraryLoad();
    testing::InProcessController c(Framing::rtu);
    ASSERT_EQ(c.open(), 0);
    tool::Picture565 grabbed;
    ASSERT_EQ(tool::captureCameraImage(c.handle, 0, &grabbed), 0);
    const std::string path = testing::tempPath("cam.png");
    std::string error;
    ASSERT_TRUE(tool::writePng(path, grabbed, &error)) << error;
    sim::PixelImage loaded;
    ASSERT_TRUE(sim::loadCameraPng(path, &loaded, &error)) << error;
    EXPECT_TRUE(loaded.pixels() == c.controller.service<sim::DisplayService>()->cameras().find(0)->pixels());
    EXPECT_FALSE(sim::loadCameraPng(path + ".missing", &loaded, &error));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tvx
