// The header-only C++ layer (include/tavrix.hpp) over an in-process controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <span>
#include <string>
#include <thread>
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

TEST_F(CppWrapper, ResendPolicyAndEstimate) {
    EXPECT_EQ(ctl.resendEstimate().value().firstWaitMs, 30u);
    ctl.setResendPolicy(TVX_RESEND_ADAPTIVE, 4, 6).value();
    ASSERT_TRUE(ctl.state());
    const uint32_t first = ctl.resendEstimate().value().firstWaitMs;
    EXPECT_GE(first, 4u);
    EXPECT_LE(first, 6u);
    EXPECT_EQ(ctl.setResendPolicy(TVX_RESEND_ADAPTIVE, 6, 4).code(), TVX_ERR_BAD_ARGUMENT);
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
    ctl.stop().value();

    // A one-file project, stored as the current project, comes back as a
    // record naming its file.
    tavrix::Project one = tavrix::oneFileProject(dir.path("main.bas")).value();
    ctl.storeProject(one).value();
    const std::vector<uint8_t> record = ctl.currentProject().value();
    ASSERT_GE(record.size(), size_t{TVX_PROJECT_HEADER_BYTES + TVX_PROJECT_ENTRY_BYTES});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + TVX_PROJECT_HEADER_BYTES)), "main.bas");
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

TEST_F(CppWrapper, ValueOfATemporaryOutlivesTheResult) {
    // A range-for over value() of a temporary Result must see a live
    // vector (the temporary ends before the loop body runs).
    const std::vector<uint8_t> data(10, 1);
    ctl.put(data, "A.BIN").value();
    ctl.put(data, "B.BIN").value();
    std::vector<std::string> names;
    for (auto& f : ctl.files().value()) names.push_back(f.name);
    for (auto& f : *ctl.files()) EXPECT_FALSE(f.name.empty());
    EXPECT_NE(std::find(names.begin(), names.end(), "A.BIN"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "B.BIN"), names.end());
    static_assert(std::is_same_v<decltype(ctl.files().value()), std::vector<tavrix::FileEntry>>);
    EXPECT_EQ(ctl.files().value_or({}).size(), names.size());
}

TEST(CppWrapperFree, TheAddressNamesTheLinkKindAsTvxReadsIt) {
    const struct {
        const char* address;
        int32_t kind;
    } cases[] = {
        {"COM3", TVX_LINK_SERIAL},   {"com 12", TVX_LINK_SERIAL},   {"COM", TVX_LINK_ETHERNET},
        {"COM3x", TVX_LINK_ETHERNET}, {"PCI1", TVX_LINK_PCI},        {"pcie2", TVX_LINK_PCI},
        {"PCIX", TVX_LINK_ETHERNET}, {"PCI", TVX_LINK_ETHERNET},    {"127.0.0.21", TVX_LINK_ETHERNET},
        {"10.0.0.1:502", TVX_LINK_ETHERNET},
    };
    for (const auto& k : cases) EXPECT_EQ(tavrix::linkKindOf(k.address), k.kind) << k.address;
    // Opened as what they name: a serial port that is not there gives the
    // serial link's 20007 (as an Ethernet address it would be 20010), a
    // card beyond those present the card count's 20028.
    EXPECT_EQ(tavrix::Controller::open("COM1024").code(), TVX_ERR_SERIAL);
    EXPECT_EQ(tavrix::Controller::open("PCI16").code(), TVX_ERR_PCI_NO_CARD);
    EXPECT_EQ(tavrix::Controller::openSerial(1025).code(), TVX_ERR_SERIAL);
}

TEST_F(CppWrapper, ModbusCoilsRegistersAndNamedAreas) {
    const std::vector<bool> coils = {true, false, true, true, false, false, false, false, true};
    ctl.writeCoils(3, coils).value();
    EXPECT_EQ(ctl.readCoils(3, 9).value(), coils);
    const uint16_t words[] = {1, 0xBEEF, 300};
    ctl.writeRegisters(10, words).value();
    EXPECT_EQ(ctl.readRegisters(10, 3).value(), (std::vector<uint16_t>{1, 0xBEEF, 300}));
    const uint32_t longs[] = {0x12345678u, 7u};
    ctl.writeLongs(20, longs).value();
    EXPECT_EQ(ctl.readLongs(20, 2).value(), (std::vector<uint32_t>{0x12345678u, 7u}));
    EXPECT_EQ(ctl.readRegisters(20, 1).value()[0], 0x5678);  // low word first
    const float floats[] = {2.5f, -0.125f};
    ctl.writeFloats(30, floats).value();
    EXPECT_EQ(ctl.readFloats(30, 2).value(), (std::vector<float>{2.5f, -0.125f}));

    // A named area shares the controller's store with the text commands.
    const float vr = 6.5f;
    ctl.writeArea("VR", 32, 4, 1, std::span(reinterpret_cast<const uint8_t*>(&vr), sizeof vr)).value();
    EXPECT_EQ(ctl.execute("?VR(4)").value(), "6.5\n");
    const std::vector<uint8_t> back = ctl.readArea("VR", 32, 4, 1).value();
    ASSERT_EQ(back.size(), 4u);
    float read = 0;
    std::memcpy(&read, back.data(), 4);
    EXPECT_EQ(read, 6.5f);
    // Ten coils are two bytes; a shorter span is refused before anything is sent.
    EXPECT_EQ(ctl.readArea("M", 1, 0, 10).value().size(), 2u);
    const size_t before = c.requests.size();
    const uint8_t one = 1;
    EXPECT_EQ(ctl.writeArea("M", 1, 0, 10, std::span(&one, 1)).code(), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(c.requests.size(), before);
}

TEST_F(CppWrapper, ArraysVariablesAndCycleUpload) {
    const float values[] = {1.5f, -2.0f, 8.25f};
    ctl.writeArray("TABLE", 7, values).value();
    EXPECT_EQ(ctl.readArray("TABLE", 7, 3).value(), (std::vector<float>{1.5f, -2.0f, 8.25f}));
    ctl.execute("GLOBAL rate : rate = 12.5 : DIM marks(4) : marks(3) = -7.25").value();
    EXPECT_EQ(ctl.variable("rate").value(), 12.5f);
    EXPECT_EQ(ctl.arrayElement("marks", 3).value(), -7.25f);
    EXPECT_FALSE(ctl.variable("nothing"));

    ctl.execute("VR(0)=4.75").value();
    ctl.cycleEnable(1, 20, "VR(0,2)").value();
    ctl.cycleForce(1).value();
    EXPECT_GE(ctl.cycleBlocks(1).value(), 1u);
    EXPECT_EQ(ctl.cycleValue(1, "vr", 0).value(), 4.75);
    EXPECT_EQ(ctl.cycleInt(1, "VR", 0).value(), 4);
    EXPECT_EQ(ctl.cycleValue(1, "VR", 2).code(), TVX_ERR_CYCLE_LAST);
    ctl.cycleDisable(1).value();
    EXPECT_EQ(ctl.cycleValue(1, "VR", 0).code(), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ctl.cycleBlocks(1).value(), 0u);
}

TEST_F(CppWrapper, TheThreeFileStore) {
    std::vector<uint8_t> a(5000);
    std::iota(a.begin(), a.end(), uint8_t{3});
    ctl.storePut(a, "A.BAS").value();
    EXPECT_TRUE(ctl.storeCheck("A.BAS").value().has_value());
    EXPECT_FALSE(ctl.storeCheck("NONE.BAS").value().has_value());
    const std::vector<tavrix::FileEntry> files = ctl.storeFiles().value();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "A.BAS");
    EXPECT_EQ(ctl.storeGetBytes("A.BAS").value(), a);
    EXPECT_EQ(ctl.storeGetBytes("A.BAS", 100).code(), TVX_ERR_BUFFER_TOO_SMALL);
    ctl.storeRemove("A.BAS").value();
    EXPECT_TRUE(ctl.storeFiles().value().empty());
}

TEST_F(CppWrapper, HostLockHoldsOffOtherThreadsTextCommands) {
    std::atomic<bool> answered{false};
    std::thread other;
    {
        tavrix::HostLock lock(ctl);
        other = std::thread([&] {
            (void)TVX_Execute(raw, "?1", 5000, nullptr, 0);
            answered = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(answered.load());
    }
    other.join();
    EXPECT_TRUE(answered.load());
}

TEST_F(CppWrapper, LcdPiecesRefuseAPixelBufferTooSmall) {
    TVX_LcdScreen screen{};
    screen.info = ctl.lcdOpen(0).value();
    ASSERT_GT(screen.info.width, 0);
    std::vector<uint16_t> pixels(static_cast<size_t>(screen.info.width) * static_cast<size_t>(screen.info.height));
    const size_t before = c.requests.size();
    EXPECT_EQ(ctl.lcdRefresh(0, screen, std::span(pixels).first(pixels.size() - 1)).code(), TVX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(c.requests.size(), before);
    ctl.lcdRefresh(0, screen, pixels).value();
    ctl.lcdEnd(0).value();
    ctl.lcdClose(0).value();
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
