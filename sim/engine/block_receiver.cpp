#include "engine/block_receiver.h"

#include <algorithm>

#include "base/bytes.h"

namespace tvx::sim {
namespace {
inline constexpr uint32_t kMostReserved = 1u << 20;
uint16_t nextNumber(uint16_t n) { return n >= 0xFFFE ? 1 : static_cast<uint16_t>(n + 1); }

// A block request's arguments.
inline constexpr size_t kRequestNumber = 0;  // u16
inline constexpr size_t kRequestCount = 2;   // u16
inline constexpr size_t kRequestData = 4;
}  // namespace

int32_t BlockReceiver::blockRequest(uint16_t code, const uint8_t* args, size_t n) {
    if (n < kRequestData) return kStatusBadRequest;
    const uint16_t count = getU16(args + kRequestCount);
    if (count > n - kRequestData) return kStatusBadRequest;
    return block(code, getU16(args + kRequestNumber), args + kRequestData, count);
}

void BlockReceiver::start(uint16_t code, uint32_t total, uint32_t tag) {
    active_ = true;
    complete_ = false;
    data_.clear();
    // An announced length alone reserves little: the data grow as blocks
    // arrive, and the service has checked the total against its store.
    data_.reserve(std::min<uint32_t>(total, kMostReserved));
    partStart_ = 0;
    record_ = TransferRecord{};
    record_.total = total;
    record_.code = code;
    record_.tag = tag;
    record_.lastBlock = 0;
}

int32_t BlockReceiver::block(uint16_t code, uint16_t number, const uint8_t* data, size_t count) {
    if (!active_ || complete_ || code != record_.code) return kStatusBlockRefused;
    const size_t received = data_.size();
    const bool fits = received + count <= record_.total;
    const bool expected = number == kFinalBlock ? received + count == record_.total
                                                : number == nextNumber(record_.lastBlock) && received + count < record_.total;
    if (!fits || !expected || count == 0) {
        ++refused_;
        return kStatusBlockRefused;
    }
    data_.insert(data_.end(), data, data + count);
    record_.received = static_cast<uint32_t>(data_.size());
    record_.lastBlock = number;
    if (number == kFinalBlock) complete_ = true;
    return 0;
}

int32_t BlockReceiver::partBlock(uint16_t code, uint16_t number, const uint8_t* data, size_t count) {
    if (!active_ || complete_ || code != record_.code || count == 0) return kStatusBlockRefused;
    if (number == 1 && record_.lastBlock != 0xFFFE) {
        // Block 1 starts a new part (after 65534 it only continues one).
        partStart_ = data_.size();
        record_.received = 0;
    } else if (number != nextNumber(record_.lastBlock)) {
        ++refused_;
        return kStatusBlockRefused;
    }
    data_.insert(data_.end(), data, data + count);
    record_.received = static_cast<uint32_t>(data_.size() - partStart_);
    record_.lastBlock = number;
    return 0;
}

void BlockReceiver::finish() {
    complete_ = true;
    active_ = false;
    record_.lastBlock = kFinalBlock;
}

}  // namespace tvx::sim
