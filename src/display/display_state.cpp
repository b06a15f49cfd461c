#include "display/display_state.h"

#include <atomic>
#include <new>

#include "link/handle_extensions.h"

namespace tvx {
namespace {

struct DisplayState {
    std::atomic<uint16_t> features[kLcdFeatureCount] = {};
};

void releaseDisplayState(void* state) { delete static_cast<DisplayState*>(state); }

}  // namespace

bool setLcdFeatures(ControllerHandle& h, const uint16_t (&values)[kLcdFeatureCount]) {
    auto* state = static_cast<DisplayState*>(extensionState(h, Extension::display));
    if (!state) {
        auto* made = new (std::nothrow) DisplayState;
        if (!made) return false;
        state = static_cast<DisplayState*>(installExtensionState(h, Extension::display, made));
        if (state != made) delete made;
    }
    for (int i = 0; i < kLcdFeatureCount; ++i) state->features[i].store(values[i], std::memory_order_relaxed);
    return true;
}

void lcdFeatures(const ControllerHandle& h, uint16_t (&values)[kLcdFeatureCount]) {
    const auto* state = static_cast<const DisplayState*>(extensionState(h, Extension::display));
    for (int i = 0; i < kLcdFeatureCount; ++i)
        values[i] = state ? state->features[i].load(std::memory_order_relaxed) : 0;
}

void installDisplayExtension() { setExtensionRelease(Extension::display, releaseDisplayState); }

}  // namespace tvx
