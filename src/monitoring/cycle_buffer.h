// Per-handle cycle-upload buffer record. The open sequence creates each
// guard and clears each buffer; the cycle-upload exports fill the rest.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace tvx {

struct CycleUploadBuffer {
    platform::Semaphore guard;
    std::atomic<uint8_t> active{0};
};

inline constexpr int kCycleBufferCount = 4;

}  // namespace tvx
