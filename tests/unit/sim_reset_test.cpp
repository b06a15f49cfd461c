// A reset controller behaves as a new one: what requests left in its
// stores, variables, screen and services is gone, so a fuzz target reusing
// one controller runs every input alone.
#include <gtest/gtest.h>

#include <string>

#include "engine/display_service.h"
#include "engine/firmware_service.h"
#include "engine/three_file_service.h"
#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

TEST(SimReset, LeavesNothingOfEarlierRequests) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(), 0);
    const Bytes data(3000, 0x5A);
    ASSERT_EQ(TVX_DownMemFile(c.handle, data.data(), 3000, "KEPT.BIN"), 0);
    ASSERT_EQ(TVX_DownMem3File(c.handle, data.data(), 100, "A.BAS"), 0);
    char answer[64];
    ASSERT_EQ(TVX_Execute(c.handle, "VR(7)=42:TABLE(9)=3:DIM ARR(5)", 1000, answer, sizeof answer), 0);
    TVX_LcdScreenInfo info{};
    ASSERT_EQ(TVX_ELcdOpen(c.handle, 0, &info), 0);
    auto& display = *c.controller.service<sim::DisplayService>();
    ASSERT_TRUE(display.sessionOpen());

    sim::Controller fresh;
    c.controller.reset();

    EXPECT_EQ(c.controller.transfers().files().files().size(), fresh.transfers().files().files().size());
    EXPECT_EQ(c.controller.transfers().files().used(), 0u);
    EXPECT_TRUE(c.controller.service<sim::ThreeFileService>()->files().empty());
    auto& vars = c.controller.console().interpreter().variables();
    EXPECT_EQ(vars.vr()[7], 0.0);
    EXPECT_EQ(vars.table()[9], 0.0);
    EXPECT_EQ(vars.find("ARR"), nullptr);
    EXPECT_FALSE(display.sessionOpen());
    EXPECT_TRUE(display.panel().frame().width() == fresh.service<sim::DisplayService>()->panel().frame().width());
    // The controller still serves: the same handle works on.
    EXPECT_EQ(TVX_DownMemFile(c.handle, data.data(), 10, "NEW.BIN"), 0);
    EXPECT_EQ(c.controller.transfers().files().used(), 10u);
}

}  // namespace
}  // namespace tvx
