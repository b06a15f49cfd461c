#include "link/handle_table.h"

#include <atomic>
#include <mutex>
#include <new>

#include "base/debug_output.h"
#include "base/result_codes.h"
#include "link/link_driver.h"
#include "platform/clock.h"

namespace tvx {
namespace {

inline constexpr uint32_t kDestroyLockWaitMs = 200;

std::atomic<int32_t> g_loadResult{0};

// A static object, not a heap one: nothing of it is left behind when the
// library is unloaded. Its mutex is constant-initialised, so the table is
// usable from the first call of any thread; unload runs before static
// destructors on every platform.
struct HandleTable {
    std::atomic<ControllerHandle*> slots[kHandleSlots] = {};
    // The generation of each slot's current (or last) record.
    std::atomic<uintptr_t> generations[kHandleSlots] = {};
    std::mutex lock;
};

HandleTable g_table;

HandleTable& table() { return g_table; }

class TableLock {
public:
    TableLock() { table().lock.lock(); }
    ~TableLock() { table().lock.unlock(); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

// A record that may be reaped: neither open nor still being opened.
bool isClosed(const ControllerHandle* h) {
    return h && !h->isOpen() && !h->opening.load(std::memory_order_relaxed);
}

// The generation after `g`, wrapping past the top back to 1.
uintptr_t nextGeneration(uintptr_t g) {
    const uintptr_t next = (g + 1) & kGenerationMask;
    return next == 0 ? 1 : next;
}

void freeRecord(std::atomic<ControllerHandle*>& slot) {
    ControllerHandle* h = slot.load(std::memory_order_relaxed);
    slot.store(nullptr, std::memory_order_release);
    if (!h) return;
    destroyHandle(*h);
    // A record whose link thread could not be stopped is left allocated.
    if (!h->threadsOutstanding.load()) delete h;
}

}  // namespace

void destroyHandle(ControllerHandle& h) {
    // Bounded waits: a lock left taken by a thread that died must not hang
    // every later open or the process exit. The record is closed already.
    const bool user = h.userLock.waitFor(kDestroyLockWaitMs);
    const bool transaction = h.transactionLock.waitFor(kDestroyLockWaitMs);
    const LinkDriver* driver = h.driver;
    const bool held = driver && driver->holdReceive && driver->holdReceive(h, kDestroyLockWaitMs);
    (void)user;
    (void)transaction;
    h.magic.store(0, std::memory_order_release);
    // Let go before the teardown waits for the link's receive thread.
    if (held) driver->releaseReceive(h);
    if (h.driver) h.driver->teardown(h);
    // A thread that could not be stopped may still wait on these objects
    // or deliver pushed packets into the extensions.
    if (h.threadsOutstanding.load()) return;
    releaseExtensions(h);
    h.channel.replyEvent.close();
    h.transactionLock.close();
    h.userLock.close();
}

ControllerHandle* allocateHandle() {
    TableLock lock;
    HandleTable& t = table();
    const uint32_t now = tickMs();
    // The new record is allocated before any old one is freed, so it never
    // takes the address of a record whose handle a caller may still hold.
    auto* fresh = new (std::nothrow) ControllerHandle{};
    // Reap records closed more than 20 minutes ago.
    for (auto& slot : t.slots) {
        ControllerHandle* h = slot.load(std::memory_order_relaxed);
        if (isClosed(h) && static_cast<uint32_t>(now - h->closedAt) > kReapAgeMs) freeRecord(slot);
    }
    std::atomic<ControllerHandle*>* target = nullptr;
    for (auto& slot : t.slots)
        if (!slot.load(std::memory_order_relaxed)) {
            target = &slot;
            break;
        }
    if (!target || !fresh) {
        // Table full (or the allocation failed): take the slot of the record
        // that has been closed longest.
        uint32_t oldestAge = 0;
        std::atomic<ControllerHandle*>* oldest = nullptr;
        for (auto& slot : t.slots) {
            ControllerHandle* h = slot.load(std::memory_order_relaxed);
            if (!isClosed(h)) continue;
            const uint32_t age = now - h->closedAt;
            if (!oldest || age > oldestAge) {
                oldest = &slot;
                oldestAge = age;
            }
        }
        if (oldest) {
            freeRecord(*oldest);
            target = oldest;
        }
        if (!fresh) fresh = new (std::nothrow) ControllerHandle{};
    }
    if (!target || !fresh) {
        delete fresh;
        return nullptr;
    }
    // Until its open ends, the record belongs to the thread opening it.
    fresh->opening.store(true, std::memory_order_relaxed);
    const auto index = static_cast<uint32_t>(target - t.slots);
    fresh->tableSlot = index;
    fresh->generation = nextGeneration(t.generations[index].load(std::memory_order_relaxed));
    t.generations[index].store(fresh->generation, std::memory_order_release);
    target->store(fresh, std::memory_order_release);
    return fresh;
}

void releaseHandle(ControllerHandle* h) {
    if (!h) return;
    TableLock lock;
    auto& slot = table().slots[h->tableSlot % kHandleSlots];
    if (slot.load(std::memory_order_relaxed) == h) freeRecord(slot);
}

bool inHandleTable(const void* p) {
    if (!p) return false;
    for (const auto& slot : table().slots)
        if (slot.load(std::memory_order_acquire) == p) return true;
    return false;
}

TVX_HANDLE toApi(const ControllerHandle* h) {
    const uintptr_t token = (h->generation << kTokenSlotBits) | h->tableSlot;
    return reinterpret_cast<TVX_HANDLE>(token);
}

ControllerHandle* fromApi(TVX_HANDLE api) {
    const auto token = reinterpret_cast<uintptr_t>(api);
    const uintptr_t generation = token >> kTokenSlotBits;
    const size_t index = token & (kHandleSlots - 1);
    if (generation == 0) return nullptr;
    HandleTable& t = table();
    // The slot's generation is checked before its record is touched: a
    // stale token never reads a record that may have been freed.
    if (t.generations[index].load(std::memory_order_acquire) != generation) return nullptr;
    ControllerHandle* h = t.slots[index].load(std::memory_order_acquire);
    return h && h->generation == generation ? h : nullptr;
}

ControllerHandle* validHandle(TVX_HANDLE api, CallSite where) {
    ControllerHandle* h = fromApi(api);
    if (h && h->isOpen()) return h;
    refuse(rc::invalidHandle, api ? "the handle is closed or not one of this library's" : "the handle is NULL", where);
    return nullptr;
}

void setSlotGenerationForTests(int slot, uintptr_t generation) {
    TableLock lock;
    table().generations[slot % kHandleSlots].store(generation & kGenerationMask);
}

void setLoadResult(int32_t code) { g_loadResult.store(code); }
int32_t loadResult() { return g_loadResult.load(); }

void destroyAllHandles() {
    TableLock lock;
    for (auto& slot : table().slots) freeRecord(slot);
}

}  // namespace tvx
