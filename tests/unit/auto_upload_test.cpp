// The auto-upload callback: registration through the controller's
// IFAUTOUP_PORT, the simulator's program output, and no call once close has
// returned.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "engine/controller.h"
#include "frame/library_frame.h"
#include "support/inprocess_fixture.h"
#include "tavrix.h"

namespace tvx {
namespace {

using testing::Bytes;
using testing::InProcessController;

struct Received {
    static inline std::vector<std::string> texts;
    static inline std::vector<int32_t> values;
    static void TVX_CDECL record(TVX_HANDLE, int32_t value, int32_t length, const char* data) {
        texts.emplace_back(data, static_cast<size_t>(length));
        values.push_back(value);
    }
};

Bytes textFrame(uint16_t sequence, const std::string& text) {
    Bytes data(text.begin(), text.end());
    return testing::tcpFrame(254, 73, testing::replyPacket(400, sequence, 3, data));
}

class AutoUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(libraryLoad(), 0);
        ASSERT_EQ(c.open(), 0);
        Received::texts.clear();
        Received::values.clear();
    }
    bool portOn() { return c.controller.console().interpreter().variables().autoUploadPort; }
    InProcessController c{Framing::tcp};
};

TEST_F(AutoUpload, CallbackFollowsTheControllersPort) {
    ASSERT_EQ(TVX_SetAutoUpCallBack(c.handle, &Received::record), 0);
    EXPECT_TRUE(portOn());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.requests.back().data() + 6)), "IFAUTOUP_PORT=1");
    Bytes f = textFrame(5, "hello");
    sim::feedInProcess(c.handle, f.data(), f.size());
    ASSERT_EQ(Received::texts, std::vector<std::string>{"hello"});
    EXPECT_EQ(Received::values[0], 3);

    // A command the controller refuses keeps the callback.
    c.filter = [](const Bytes& request, Bytes& reply) {
        reply = testing::replyPacket(5, getU16(request.data() + 4), 3204);
        return true;
    };
    EXPECT_EQ(TVX_SetAutoUpCallBack(c.handle, nullptr), 3204);
    f = textFrame(6, "still");
    sim::feedInProcess(c.handle, f.data(), f.size());
    EXPECT_EQ(Received::texts.size(), 2u);

    c.filter = nullptr;
    ASSERT_EQ(TVX_SetAutoUpCallBack(c.handle, nullptr), 0);
    EXPECT_FALSE(portOn());
    f = textFrame(7, "gone");
    sim::feedInProcess(c.handle, f.data(), f.size());
    EXPECT_EQ(Received::texts.size(), 2u);
    EXPECT_EQ(TVX_SetAutoUpCallBack(nullptr, nullptr), 20009);
}

TEST_F(AutoUpload, SimulatorPushesRunningProgramOutput) {
    ASSERT_EQ(TVX_SetAutoUpCallBack(c.handle, &Received::record), 0);
    {
        std::lock_guard<std::mutex> lock(c.controller.mutex());
        c.model().tasks[2].state = sim::kRunRunning;
        c.model().tasks[2].text = "MAIN";
        c.model().runState = sim::kRunRunning;
    }
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 0), 1u);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 100), 0u);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 500), 1u);
    ASSERT_EQ(Received::texts.size(), 2u);
    EXPECT_EQ(Received::texts[0], "MAIN: pass 1\n");
    EXPECT_EQ(Received::values[0], 2);  // the task
    ASSERT_EQ(TVX_SetAutoUpCallBack(c.handle, nullptr), 0);
    EXPECT_EQ(sim::deliverPushes(c.link, c.handle, 1000), 0u);
}

// A feeder thread keeps pushing text while the handle closes: once
// TVX_Close has returned no call runs and none starts.
struct Watch {
    static inline std::atomic<bool> closed{false};
    static inline std::atomic<int> late{0};
    static inline std::atomic<int> calls{0};
    static void TVX_CDECL slow(TVX_HANDLE, int32_t, int32_t, const char*) {
        if (closed.load()) ++late;
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (closed.load()) ++late;
    }
};

TEST_F(AutoUpload, NoCallAfterCloseReturns) {
    for (int round = 0; round < 5; ++round) {
        InProcessController k{Framing::tcp};
        ASSERT_EQ(k.open(), 0);
        ASSERT_EQ(TVX_SetAutoUpCallBack(k.handle, &Watch::slow), 0);
        Watch::closed = false;
        Watch::late = 0;
        Watch::calls = 0;
        std::atomic<bool> stop{false};
        std::thread feeder([&] {
            for (uint16_t seq = 0; !stop.load(); ++seq) {
                Bytes f = textFrame(static_cast<uint16_t>(seq % 0xFFFE), "x");
                sim::feedInProcess(k.handle, f.data(), f.size());
            }
        });
        while (Watch::calls.load() < 3) std::this_thread::yield();
        ASSERT_EQ(TVX_Close(k.handle), 0);
        Watch::closed = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stop = true;
        feeder.join();
        EXPECT_EQ(Watch::late.load(), 0);
        k.handle = nullptr;
    }
}

// A callback may close its own handle: close does not wait for itself.
struct SelfClose {
    static inline std::atomic<int32_t> result{-1};
    static void TVX_CDECL close(TVX_HANDLE h, int32_t, int32_t, const char*) { result = TVX_Close(h); }
};

TEST_F(AutoUpload, CallbackMayCloseItsOwnHandle) {
    ASSERT_EQ(TVX_SetAutoUpCallBack(c.handle, &SelfClose::close), 0);
    Bytes f = textFrame(9, "bye");
    sim::feedInProcess(c.handle, f.data(), f.size());
    EXPECT_EQ(SelfClose::result.load(), 0);
    EXPECT_EQ(TVX_Close(c.handle), 20009);
    c.handle = nullptr;
}

}  // namespace
}  // namespace tvx
