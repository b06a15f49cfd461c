// The host-side lock of a handle: it keeps other threads' text commands
// out while held, and a close releases threads waiting for it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/inprocess_fixture.h"
#include "support/request_log.h"

namespace tvx {
namespace {

using testing::InProcessController;

// Gives another thread time to reach its wait; the outcome checked never
// depends on the time being enough, only the order of the check does.
void letOthersRun() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

TEST(HostLock, KeepsAnotherThreadsTextCommandOutUntilGivenBack) {
    InProcessController c(Framing::tcp);
    ASSERT_EQ(c.open(true), 0);
    ASSERT_EQ(TVX_Signal_BasicP(c.handle), 0);
    std::atomic<bool> finished{false};
    std::atomic<int32_t> result{-1};
    char answer[16] = {};
    std::thread other([&] {
        result = TVX_Execute(c.handle, "?1+2\n", 2000, answer, sizeof answer);
        finished = true;
    });
    letOthersRun();
    EXPECT_FALSE(finished.load());
    EXPECT_TRUE(testing::argumentsWith(c.requests, 2).empty());  // not even its text went out
    // Requests outside the text conversation still run.
    uint8_t state;
    EXPECT_EQ(TVX_GetState(c.handle, &state), 0);
    ASSERT_EQ(TVX_Signal_BasicV(c.handle), 0);
    other.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_STREQ(answer, "3\n");
    // Giving back a free lock leaves it at one: it can be taken once.
    EXPECT_EQ(TVX_Signal_BasicV(c.handle), 0);
    EXPECT_EQ(TVX_Signal_BasicP(c.handle), 0);
    EXPECT_EQ(TVX_Signal_BasicV(c.handle), 0);
}

// A thread waiting in BasicP when the handle closes comes out: with 20009
// when the close went first, or with the lock, which it gives back so the
// close can finish. Either way nobody is left waiting.
TEST(HostLock, CloseReleasesAWaitingThread) {
    for (int round = 0; round < 5; ++round) {
        InProcessController c(Framing::rtu);
        ASSERT_EQ(c.open(true), 0);
        ASSERT_EQ(TVX_Signal_BasicP(c.handle), 0);
        std::atomic<int32_t> waiterResult{-1};
        std::thread waiter([&] {
            waiterResult = TVX_Signal_BasicP(c.handle);
            if (waiterResult == 0) TVX_Signal_BasicV(c.handle);
        });
        std::atomic<int32_t> closeResult{-1};
        std::thread closer([&] { closeResult = TVX_Close(c.handle); });
        letOthersRun();
        EXPECT_EQ(closeResult.load(), -1);  // a held lock delays the close
        ASSERT_EQ(TVX_Signal_BasicV(c.handle), 0);
        closer.join();
        waiter.join();
        EXPECT_EQ(closeResult.load(), 0);
        EXPECT_TRUE(waiterResult == 0 || waiterResult == TVX_ERR_INVALID_HANDLE) << waiterResult;
        EXPECT_EQ(TVX_Signal_BasicP(c.handle), TVX_ERR_INVALID_HANDLE);
        EXPECT_EQ(TVX_Signal_BasicV(c.handle), TVX_ERR_INVALID_HANDLE);
        c.handle = nullptr;
    }
    EXPECT_EQ(TVX_Signal_BasicP(nullptr), TVX_ERR_INVALID_HANDLE);
}

}  // namespace
}  // namespace tvx
