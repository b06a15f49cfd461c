// Receives the numbered blocks of one download for the services with
// downloads of their own (firmware, the three-file store). Only the next
// block in order is taken; a gap means a block was lost and is refused
// with 213, and the host resumes from the position the record shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/transfer_service.h"

namespace tvx::sim {

inline constexpr int32_t kStatusBlockRefused = 213;
inline constexpr int32_t kStatusBadRequest = 3204;
inline constexpr uint16_t kFinalBlock = 0xFFFF;

class BlockReceiver {
public:
    using Bytes = std::vector<uint8_t>;

    // A download of `total` bytes (0: not announced, as for RAM parts).
    void start(uint16_t code, uint32_t total, uint32_t tag = 0);
    // One block of a download whose last block carries 0xFFFF: 0, or 213
    // for a block out of order, too long, or after the end.
    int32_t block(uint16_t code, uint16_t number, const uint8_t* data, size_t count);
    // The same from a whole block request: u16 number, u16 count, then the
    // bytes; 3204 when the count claims more bytes than the request holds.
    int32_t blockRequest(uint16_t code, const uint8_t* args, size_t n);
    // One block of a RAM part: numbered from 1 in each part, no end marker.
    int32_t partBlock(uint16_t code, uint16_t number, const uint8_t* data, size_t count);

    bool active() const { return active_; }
    bool complete() const { return complete_; }
    // Ends the download: the record then reports it finished.
    void finish();
    const Bytes& data() const { return data_; }
    Bytes& data() { return data_; }
    const TransferRecord& record() const { return record_; }
    uint32_t refused() const { return refused_; }

private:
    bool active_ = false;
    bool complete_ = false;
    Bytes data_;
    size_t partStart_ = 0;  // where the current RAM part began in data_
    TransferRecord record_;
    uint32_t refused_ = 0;
};

}  // namespace tvx::sim
