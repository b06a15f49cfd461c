// A link that carries a handle's frames straight into a simulated
// controller in the same process: the reply is fed back to the channel
// before the send returns. Tests and benchmarks open handles over it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/controller.h"
#include "tavrix.h"

namespace tvx::sim {

struct InProcessLink {
    Controller* controller = nullptr;
    Framing framing = Framing::tcp;
    // Optional: sees every reply frame before delivery and may change it;
    // returns the length to deliver (0 drops the reply).
    size_t (*filter)(void* context, const uint8_t* request, size_t requestLength, uint8_t* reply,
                     size_t replyLength, size_t capacity) = nullptr;
    void* filterContext = nullptr;
    // Optional: sees every request frame first; false loses it on the way.
    bool (*requestFilter)(void* context, const uint8_t* request, size_t requestLength) = nullptr;
    std::atomic<uint32_t> sends{0};
    // The address text given to open (defaults to a name of the link).
    const char* address = nullptr;
};

// Opens a handle over `link` with the open sequence of TVX_Open (or of
// TVX_FastOpen when `fast`). The link must outlive the handle.
int32_t openInProcess(InProcessLink& link, TVX_HANDLE* out, bool fast = false, uint32_t timeoutMs = 5000);

// Feeds the packets the controller pushes at tick `nowMs` into the handle's
// receive path, as the link's receive thread would; returns how many.
size_t deliverPushes(InProcessLink& link, TVX_HANDLE handle, uint32_t nowMs);

// Feeds raw bytes into the handle's receive path as the link would.
void feedInProcess(TVX_HANDLE handle, const uint8_t* bytes, size_t n);

}  // namespace tvx::sim
