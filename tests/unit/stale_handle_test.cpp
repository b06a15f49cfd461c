// A closed handle must never come back to life, however the table's slots
// are reused afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "link/handle.h"
#include "link/handle_table.h"
#include "support/inprocess_fixture.h"

namespace tvx {
namespace {

using testing::InProcessController;

// With every slot in use, each round closes one handle and opens another,
// which takes the slot (and often the address) of a reaped record. Every
// handle closed so far must stay refused, and the live ones keep working.
TEST(StaleHandle, FullTableCloseOneOpenOneNeverRevivesAClosedHandle) {
    InProcessController c(Framing::tcp);
    std::vector<TVX_HANDLE> live;
    for (int i = 0; i < kHandleSlots; ++i) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(sim::openInProcess(c.link, &h, true, 100), 0) << i;
        live.push_back(h);
    }
    std::vector<TVX_HANDLE> closed;
    int revived = 0;
    for (int round = 0; round < 40; ++round) {
        const size_t victim = static_cast<size_t>(round * 37) % live.size();
        ASSERT_EQ(TVX_Close(live[victim]), 0) << round;
        closed.push_back(live[victim]);
        TVX_HANDLE fresh = nullptr;
        ASSERT_EQ(sim::openInProcess(c.link, &fresh, true, 100), 0) << round;
        live[victim] = fresh;
        for (TVX_HANDLE old : closed) {
            uint32_t ms = 0;
            if (TVX_GetTimeOut(old, &ms) != TVX_ERR_INVALID_HANDLE) ++revived;
            EXPECT_EQ(TVX_GetConnectType(old), 255);
            EXPECT_EQ(TVX_GetConnectString(old), nullptr);
            EXPECT_NE(old, fresh);
        }
        uint32_t ms = 0;
        EXPECT_EQ(TVX_GetTimeOut(fresh, &ms), 0);
        EXPECT_EQ(ms, 100u);
    }
    EXPECT_EQ(revived, 0);
    for (TVX_HANDLE h : closed) EXPECT_EQ(TVX_Close(h), TVX_ERR_INVALID_HANDLE);
    for (TVX_HANDLE h : live) EXPECT_EQ(TVX_Close(h), 0);
}

// The same slot, reused many times over in a table that is not full: a
// handle of any earlier use of the slot stays refused.
TEST(StaleHandle, ReusedSlotRefusesEveryEarlierHandle) {
    InProcessController c(Framing::rtu);
    std::vector<TVX_HANDLE> earlier;
    for (int i = 0; i < 300; ++i) {
        TVX_HANDLE h = nullptr;
        ASSERT_EQ(sim::openInProcess(c.link, &h, true, 100), 0) << i;
        for (TVX_HANDLE old : earlier) ASSERT_NE(old, h) << i;
        ASSERT_EQ(TVX_Close(h), 0);
        earlier.push_back(h);
    }
    for (TVX_HANDLE old : earlier) EXPECT_EQ(TVX_SetTimeOut(old, 1), TVX_ERR_INVALID_HANDLE);
}

// At the top of its range a slot's generation wraps to 1, never to 0: no
// token is ever null, not even slot 0's.
TEST(StaleHandle, GenerationWrapsPastZero) {
    ControllerHandle* first = allocateHandle();
    ASSERT_NE(first, nullptr);
    const uint32_t slot = first->tableSlot;
    releaseHandle(first);
    setSlotGenerationForTests(static_cast<int>(slot), kGenerationMask);
    ControllerHandle* wrapped = allocateHandle();
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(wrapped->tableSlot, slot);
    EXPECT_EQ(wrapped->generation, 1u);
    EXPECT_NE(toApi(wrapped), nullptr);
    EXPECT_EQ(fromApi(toApi(wrapped)), wrapped);
    releaseHandle(wrapped);
    // Values that were never tokens name nothing.
    EXPECT_EQ(fromApi(nullptr), nullptr);
    EXPECT_EQ(fromApi(reinterpret_cast<TVX_HANDLE>(uintptr_t{0x7F})), nullptr);
}

}  // namespace
}  // namespace tvx
