// The per-thread count of trace calls in progress, in a thread-specific
// key whose destructor runs when a thread ends (a thread exit or a
// cancellation included) while the count is above 0.
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/trace.h"

namespace tvx::platform {
namespace {

std::mutex g_keyLock;
pthread_key_t g_key;
std::atomic<bool> g_keyMade{false};
std::atomic<void (*)(uint32_t)> g_onExit{nullptr};

void threadEnded(void* value) {
    const auto depth = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    if (void (*onExit)(uint32_t) = g_onExit.load(std::memory_order_acquire); onExit && depth) onExit(depth);
}

bool haveKey() {
    if (g_keyMade.load(std::memory_order_acquire)) return true;
    std::lock_guard<std::mutex> guard(g_keyLock);
    if (!g_keyMade.load(std::memory_order_relaxed))
        g_keyMade.store(pthread_key_create(&g_key, threadEnded) == 0, std::memory_order_release);
    return g_keyMade.load(std::memory_order_relaxed);
}

}  // namespace

uint32_t threadTraceDepth() {
    if (!haveKey()) return 0;
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pthread_getspecific(g_key)));
}

void setThreadTraceDepth(uint32_t depth, void (*onExit)(uint32_t)) {
    if (!haveKey()) return;
    g_onExit.store(onExit, std::memory_order_release);
    pthread_setspecific(g_key, reinterpret_cast<void*>(static_cast<uintptr_t>(depth)));
}

void forgetThreadTraceDepths() {
    std::lock_guard<std::mutex> guard(g_keyLock);
    g_onExit.store(nullptr, std::memory_order_release);
    if (g_keyMade.load(std::memory_order_relaxed)) pthread_key_delete(g_key);
    g_keyMade.store(false, std::memory_order_release);
}

}  // namespace tvx::platform
