// The header-only C++ layer (include/tavrix.hpp) over an in-process controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "support/inprocess_fixture.h"
#include "base/archive_cipher.h"
#include "pkg_test_files.h"
#include "tavrix.hpp"

namespace tvx {
namespace {

using testing::InProcessController;

static_assert(!std::is_copy_constructible_v<tavrix::Controller>);
static_assert(!std::is_copy_assignable_v<tavrix::Controller>);
static_assert(std::is_nothrow_move_constructible_v<tavrix::Controller>);

class CppWrapper : public ::testing::Test {
protected:
    // Projects are packed with the archive cipher, which the shared library
    // prepares at load.
    static void SetUpTestSuite() { ASSERT_EQ(initArchiveCipher(), TVX_OK); }
    void SetUp() override {
        ASSERT_EQ(c.open(), 0);
        raw = c.handle;
        ctl = tavrix::Controller(std::exchange(c.handle, nullptr));
    }
    bool rawIsOpen() {
        uint8_t state;
        return TVX_GetState(raw, &state) == TVX_OK;
    }
    InProcessController c{Framing::tcp};
    TVX_HANDLE raw = nullptr;
    tavrix::Controller ctl;
};

TEST_F(CppWrapper, TheControllerOwnsItsHandle) {
    tavrix::Controller moved(std::move(ctl));
    EXPECT_FALSE(ctl);
    EXPECT_EQ(moved.get(), raw);
    ctl = std::move(moved);
    EXPECT_EQ(ctl.get(), raw);
    EXPECT_TRUE(rawIsOpen());

    // Assigning over an open controller closes what it held.
    ctl = tavrix::Controller();
    EXPECT_FALSE(rawIsOpen());
    EXPECT_TRUE(ctl.close().ok()) << "closing an empty controller is a no-op";
}

TEST_F(CppWrapper, DestructionClosesAndReleaseKeepsOpen) {
    {
        tavrix::Controller scoped(ctl.release());
        EXPECT_FALSE(ctl);
        EXPECT_TRUE(rawIsOpen());
    }
    EXPECT_FALSE(rawIsOpen());
}

TEST_F(CppWrapper, ResultsCarryCodesOrThrow) {
    ASSERT_TRUE(ctl.close().ok());
    tavrix::Result<uint8_t> state = ctl.state();
    EXPECT_FALSE(state);
    EXPECT_EQ(state.code(), TVX_ERR_INVALID_HANDLE);
    EXPECT_STREQ(state.description(), "Invalid or closed handle.");
    EXPECT_EQ(state.value_or(9), 9);
    try {
        (void)state.value();
        FAIL() << "value() of a failed call must throw";
    } catch (const tavrix::Error& e) {
        EXPECT_EQ(e.code(), TVX_ERR_INVALID_HANDLE);
        EXPECT_NE(std::string(e.what()).find("(20009)"), std::string::npos);
    }
    EXPECT_THROW(ctl.setOutput(1, true).value(), tavrix::Error);
    EXPECT_THROW(tavrix::check(TVX_CH_NO_REPLY), tavrix::Error);
    EXPECT_NO_THROW(tavrix::check(TVX_OK));
}

TEST_F(CppWrapper, QueriesIoAndTextCommands) {
    c.model().setInput(0, true);
    c.model().setInput(5, true);
    c.model().versionText = "CPP 1.2.3";
    EXPECT_EQ(ctl.inputs(0, 7).value(), 0x21u);
    EXPECT_TRUE(ctl.input(5).value());
    EXPECT_FALSE(ctl.input(6).value());
    ctl.setOutputs(0, 31, 0x80000001u).value();
    EXPECT_EQ(ctl.outputs(0, 31).value(), 0x80000001u);
    EXPECT_TRUE(ctl.output(31).value());
    EXPECT_EQ(ctl.softVersion().value().text, "CPP 1.2.3");
    EXPECT_EQ(ctl.axes(), ctl.sysSpecification().value().axisCount);
    EXPECT_EQ(ctl.linkKind(), TVX_LINK_ETHERNET);

    ctl.execute("VR(3)=2.5").value();
    EXPECT_EQ(ctl.execute("?VR(3)*4").value(), "10\n");
    tavrix::Result<std::string> tooLong = ctl.execute("?VR(3)*4", 5000, 2);
    EXPECT_EQ(tooLong.code(), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(ctl.directCommand("?VR(3)").value(), "2.5\n");
}

TEST_F(CppWrapper, FilesThroughSpans) {
    std::vector<uint8_t> data(3000);
    std::iota(data.begin(), data.end(), uint8_t{7});
    ctl.put(data, "DATA.BIN").value();
    const std::vector<tavrix::FileEntry> files = ctl.files().value();
    EXPECT_NE(std::find(files.begin(), files.end(), tavrix::FileEntry{"DATA.BIN", 3000}), files.end());
    EXPECT_EQ(ctl.getBytes("DATA.BIN").value(), data);

    std::vector<uint8_t> small(100);
    EXPECT_EQ(ctl.get("DATA.BIN", std::span<uint8_t>(small)).code(), TVX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(ctl.getBytes("DATA.BIN", 2999).code(), TVX_ERR_BUFFER_TOO_SMALL);

    ctl.remove("DATA.BIN").value();
    EXPECT_FALSE(ctl.getBytes("DATA.BIN"));
}

TEST_F(CppWrapper, ProjectsRunFromTheirTextFile) {
    testing::ScratchDir dir("cpp");
    dir.write("main.bas", std::string("PRINT 1\r\n"));
    const std::string npj = dir.write("demo.npj", std::string("[Controller]\nFiles=1\n[FileList]\nFile1=main.bas\nAutoRun1=0\n"));

    ctl.runProject(npj).value();
    EXPECT_EQ(ctl.state().value(), 1);
    EXPECT_EQ(ctl.taskState(0).value().text, "main.bas");
    ctl.stop().value();
    EXPECT_EQ(ctl.state().value(), 0);
    tavrix::makeNar(npj, dir.path("demo.nar")).value();
    ctl.runNar(dir.path("demo.nar")).value();
    EXPECT_EQ(ctl.taskState(0).value().state, 1);
}

TEST_F(CppWrapper, LcdScreenAndCameraImage) {
    const tavrix::Image screen = ctl.lcdScreen().value();
    ASSERT_GT(screen.width, 0);
    ASSERT_GT(screen.height, 0);
    EXPECT_EQ(screen.pixels.size(), static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height));
    const tavrix::Image image = ctl.cameraImage(0).value();
    EXPECT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    EXPECT_GT(std::count_if(image.pixels.begin(), image.pixels.end(), [&](uint16_t p) { return p != image.pixels[0]; }), 0);
    EXPECT_FALSE(ctl.cameraImage(999));
}

TEST(CppWrapperFree, VersionDescribeAndHash) {
    char text[16];
    ASSERT_EQ(TVX_GetDllVersion(text), TVX_OK);
    EXPECT_EQ(tavrix::version().value(), text);
    EXPECT_STREQ(tavrix::describe(TVX_CH_NO_REPLY), "No reply from the controller within the time budget.");
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(tavrix::stringHash(abc), 3014);
}

}  // namespace
}  // namespace tvx
