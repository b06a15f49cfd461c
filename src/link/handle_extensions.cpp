#include "link/handle_extensions.h"

#include "link/handle.h"

namespace tvx {
namespace {

std::atomic<ExtensionRelease> g_release[kExtensionCount] = {};

}  // namespace

void setExtensionRelease(Extension e, ExtensionRelease release) {
    g_release[static_cast<int>(e)].store(release, std::memory_order_release);
}

void* extensionState(const ControllerHandle& h, Extension e) {
    return h.extensions[static_cast<int>(e)].load(std::memory_order_acquire);
}

void* installExtensionState(ControllerHandle& h, Extension e, void* state) {
    void* expected = nullptr;
    if (h.extensions[static_cast<int>(e)].compare_exchange_strong(expected, state, std::memory_order_acq_rel))
        return state;
    return expected;
}

void releaseExtensions(ControllerHandle& h) {
    for (int i = 0; i < kExtensionCount; ++i) {
        void* state = h.extensions[i].exchange(nullptr, std::memory_order_acq_rel);
        ExtensionRelease release = g_release[i].load(std::memory_order_acquire);
        if (state && release) release(state);
    }
}

}  // namespace tvx
