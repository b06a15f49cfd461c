#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::InProcessController;

class TextConcurrency : public ::testing::TestWithParam<Framing> {};

// Threads sharing one handle each get exactly their own answers, while
// other threads' queries run between the answer polls.
TEST_P(TextConcurrency, EachThreadGetsItsOwnAnswer) {
    InProcessController c(GetParam());
    ASSERT_EQ(c.open(true, 5000), 0);
    c.controller.console().settings().pieceBytes = 2;  // several polls per answer
    // Hand the processor over after every reply so that threads interleave.
    c.filter = [](const testing::Bytes&, testing::Bytes&) {
        std::this_thread::yield();
        return true;
    };
    constexpr int kThreads = 4;
    constexpr int kCommands = 40;
    std::atomic<int> wrong{0};
    std::atomic<bool> stop{false};
    std::atomic<int> queries{0};
    std::atomic<int> failedQueries{0};

    std::vector<std::thread> queriers;
    for (int q = 0; q < 2; ++q)
        queriers.emplace_back([&] {
            while (!stop.load()) {
                uint8_t state = 0;
                if (TVX_GetState(c.handle, &state) != 0) ++failedQueries;
                ++queries;
            }
        });
    // The answers are polled while queries already run: a query between two
    // polls is what the test is about.
    while (queries.load() < 2) std::this_thread::yield();
    std::vector<std::thread> executors;
    for (int t = 0; t < kThreads; ++t)
        executors.emplace_back([&, t] {
            for (int i = 0; i < kCommands; ++i) {
                const std::string command = "PRINT " + std::to_string(t) + ", " + std::to_string(i) + ", " +
                                            std::to_string(t * 1000 + i) + "\n";
                const std::string expected = std::to_string(t) + " " + std::to_string(i) + " " +
                                             std::to_string(t * 1000 + i) + "\n";
                char answer[64];
                if (TVX_Execute(c.handle, command.c_str(), 5000, answer, sizeof answer) != 0 || expected != answer)
                    ++wrong;
            }
        });
    for (auto& t : executors) t.join();
    stop = true;
    for (auto& t : queriers) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(failedQueries.load(), 0);
    EXPECT_GT(queries.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Framings, TextConcurrency, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
