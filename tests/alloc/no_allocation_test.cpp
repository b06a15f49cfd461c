// Counts heap allocations while transactions run over the in-process link:
// the transaction path must not allocate.
// The replacement operators below pair malloc and free on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/inprocess_fixture.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace tvx {
namespace {

class NoAllocation : public ::testing::TestWithParam<Framing> {};

TEST_P(NoAllocation, ThousandsOfTransactionsAllocateNothing) {
    testing::InProcessController c(GetParam());
    c.link.filter = nullptr;  // the test hook itself allocates; the plain link does not
    ASSERT_EQ(c.open(), 0);
    uint8_t state = 0;
    int32_t bits = 0;
    uint32_t version = 0;
    char text[16];
    float value = 0;
    int failures = 0;
    allocations = 0;
    counting = true;
    for (int i = 0; i < 1000; ++i) {
        failures += TVX_GetState(c.handle, &state) != 0;
        failures += TVX_SetOutput(c.handle, static_cast<uint32_t>(i % 64), static_cast<uint8_t>(i & 1)) != 0;
        failures += TVX_GetInAll(c.handle, 0, 31, &bits) != 0;
        failures += TVX_GetSoftVersion(c.handle, &version, text, nullptr) != 0;
        failures += TVX_GetAIn(c.handle, 1, &value) != 0;
    }
    counting = false;
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(allocations.load(), 0);
    // The counter works: an allocation made while counting is seen.
    counting = true;
    int* volatile probe = new int(5);
    delete probe;
    counting = false;
    EXPECT_EQ(allocations.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(BothFramings, NoAllocation, ::testing::Values(Framing::rtu, Framing::tcp),
                         [](const auto& info) { return info.param == Framing::tcp ? "Tcp" : "Rtu"; });

}  // namespace
}  // namespace tvx
