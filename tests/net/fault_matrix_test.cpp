// The fault matrix: one simulated controller per cell, a fault of one kind
// at one share, and a fixed mix of calls whose right answers are known
// (queries, text commands, a file round trip). Every call must end within
// its budget with the right answer or a clear code; a wrong answer
// reported as success fails the cell. The success share of every cell is
// printed as a table.
//
// TVX_MATRIX_ROUNDS sets the rounds of the mix per cell (default 4, the
// short form run by the suite; scripts/soak.sh runs a longer form).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/udp_sim.h"
#include "tavrix.h"

namespace tvx {
namespace {

int rounds() {
    const char* text = std::getenv("TVX_MATRIX_ROUNDS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 4;
}

enum class Fault { dropRequests, dropReplies, duplicate, reorder, corrupt, late };
const char* nameOf(Fault f) {
    switch (f) {
        case Fault::dropRequests: return "loss (requests)";
        case Fault::dropReplies: return "loss (replies)";
        case Fault::duplicate: return "duplication";
        case Fault::reorder: return "reordering";
        case Fault::corrupt: return "corruption";
        default: return "late replies";
    }
}

sim::FaultPlan planOf(Fault f, int percent, uint64_t seed) {
    sim::FaultPlan p;
    p.seed = seed;
    const double share = percent / 100.0;
    switch (f) {
        case Fault::dropRequests: p.dropRequests = share; break;
        case Fault::dropReplies: p.dropReplies = share; break;
        case Fault::duplicate: p.duplicateReplies = share; break;
        case Fault::reorder: p.reorderReplies = share; break;
        case Fault::corrupt: p.corruptReplies = share; break;
        case Fault::late: p.jitterMs = static_cast<uint32_t>(percent) * 10; break;  // each reply 0..10×P ms late
    }
    return p;
}

struct Tally {
    int right = 0, failed = 0, wrong = 0;
    int total() const { return right + failed + wrong; }
};

constexpr uint32_t kTimeoutMs = 400;
constexpr auto kCallBudget = std::chrono::milliseconds(8000);  // the longest call: a transfer with resumes

// Runs one call, checks its budget and counts its outcome: `r` is its
// result, `right` whether its output is the known answer.
template <class Call>
void count(Tally& t, Call call, bool* overBudget) {
    const auto start = std::chrono::steady_clock::now();
    bool right = false;
    const int32_t r = call(&right);
    if (std::chrono::steady_clock::now() - start > kCallBudget) *overBudget = true;
    if (r != 0)
        ++t.failed;
    else if (right)
        ++t.right;
    else
        ++t.wrong;
}

Tally runCell(const std::string& address, Fault f, int percent, bool* overBudget) {
    testing::UdpSim sim(address, planOf(f, percent, 1000 + percent));
    Tally t;
    if (!sim.start()) {
        ADD_FAILURE() << "cannot serve on " << address;
        return t;
    }
    const int32_t axes = sim.withModel([](sim::ControllerModel& m) { return static_cast<int32_t>(m.axisCount); });
    TVX_HANDLE h = nullptr;
    // The open itself may fail under heavy faults: that is a clear code.
    for (int attempt = 0; attempt < 5 && TVX_FastOpen(TVX_LINK_ETHERNET, address.c_str(), kTimeoutMs, &h) != 0; ++attempt) {
    }
    if (!h) {
        t.failed += rounds() * 4;
        sim.stop();
        return t;
    }
    std::mt19937 rng(static_cast<uint32_t>(percent * 7 + static_cast<int>(f)));
    for (int round = 0; round < rounds(); ++round) {
        count(t, [&](bool* right) {
            TVX_SysSpecification s;
            const int32_t r = TVX_GetSysSpecification(h, &s);
            *right = s.axisCount == static_cast<uint16_t>(axes);
            return r;
        }, overBudget);
        count(t, [&](bool* right) {
            char answer[64] = {};
            const int32_t r = TVX_Execute(h, "?6*7", 2000, answer, sizeof answer);
            *right = std::strncmp(answer, "42", 2) == 0;
            return r;
        }, overBudget);
        count(t, [&](bool* right) {
            char answer[64] = {};
            const int32_t r = TVX_DirectCommand(h, "?1+2", answer, sizeof answer);
            *right = std::strncmp(answer, "3", 1) == 0;
            return r;
        }, overBudget);
        count(t, [&](bool* right) {
            std::vector<uint8_t> data(1 + rng() % 20000);
            for (auto& b : data) b = static_cast<uint8_t>(rng());
            const std::string name = "M" + std::to_string(round);
            int32_t r = TVX_DownMemFile(h, data.data(), static_cast<uint32_t>(data.size()), name.c_str());
            if (r != 0) return r;
            std::vector<uint8_t> back(data.size() + 16);
            uint32_t got = 0;
            r = TVX_UpFileToMem(h, back.data(), static_cast<uint32_t>(back.size()), name.c_str(), &got);
            back.resize(got);
            *right = back == data;
            return r;
        }, overBudget);
    }
    TVX_Close(h);
    sim.stop();
    return t;
}

TEST(FaultMatrix, EveryCallIsRightOrFailsClearly) {
    const Fault faults[] = {Fault::dropRequests, Fault::dropReplies, Fault::duplicate, Fault::reorder, Fault::corrupt, Fault::late};
    const int percents[] = {0, 1, 5, 10, 20};
    std::printf("\nsuccess share per cell (%d rounds of 4 calls; wrong answers in brackets)\n%-18s", rounds(), "fault");
    for (int p : percents) std::printf("%10d %%", p);
    std::printf("\n");
    int cell = 0;
    for (Fault f : faults) {
        std::printf("%-18s", nameOf(f));
        for (int p : percents) {
            const std::string address = "127.0.0." + std::to_string(100 + cell++);
            bool overBudget = false;
            const Tally t = runCell(address, f, p, &overBudget);
            std::printf("%8.0f%%", t.total() ? 100.0 * t.right / t.total() : 0.0);
            std::printf(t.wrong ? "[%d]" : "   ", t.wrong);
            std::fflush(stdout);
            EXPECT_FALSE(overBudget) << nameOf(f) << " " << p << "%";
            // Corrupted datagrams are outside what the link guards: on
            // Ethernet the UDP checksum stands for the missing frame CRC,
            // so a flipped data byte can pass. Every other fault never
            // yields a wrong answer.
            if (f != Fault::corrupt) {
                EXPECT_EQ(t.wrong, 0) << nameOf(f) << " " << p << "%";
            }
            if (p == 0) {
                EXPECT_EQ(t.right, t.total()) << nameOf(f);
            }
        }
        std::printf("\n");
    }
    // A silent controller: every call fails with a clear code in its budget.
    testing::UdpSim silent("127.0.0.99", [] { sim::FaultPlan p; p.silent = true; return p; }());
    ASSERT_TRUE(silent.start());
    TVX_HANDLE h = nullptr;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(TVX_FastOpen(TVX_LINK_ETHERNET, "127.0.0.99", kTimeoutMs, &h), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kCallBudget);
    std::printf("%-18s  open fails clearly\n", "silence");
}

}  // namespace
}  // namespace tvx
