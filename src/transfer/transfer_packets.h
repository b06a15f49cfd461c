// The transfer progress record and block numbering.
#pragma once

#include <cstdint>
#include "link/handle.h"
#include "transfer/block_transfer.h"

namespace tvx {

// done / total as the handle's progress (0 for a total of 0).
inline float progressFraction(uint64_t done, uint64_t total) {
    return total ? static_cast<float>(static_cast<double>(done) / static_cast<double>(total)) : 0.0f;
}

// Puts the handle's progress back to 0 whichever way a transfer ends.
class ProgressReset {
public:
    explicit ProgressReset(ControllerHandle& h) : h_(h) {}
    ~ProgressReset() { h_.progress.store(0.0f, std::memory_order_relaxed); }
    ProgressReset(const ProgressReset&) = delete;
    ProgressReset& operator=(const ProgressReset&) = delete;
    void set(uint64_t done, uint64_t total) {
        h_.progress.store(progressFraction(done, total), std::memory_order_relaxed);
    }

private:
    ControllerHandle& h_;
};

// Next block number: 1 .. 65534, then 1 again.
inline uint16_t nextBlockNumber(uint16_t n) { return n >= 0xFFFE ? 1 : static_cast<uint16_t>(n + 1); }

}  // namespace tvx
