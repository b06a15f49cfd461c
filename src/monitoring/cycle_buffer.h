// The four cycle-upload buffers of a handle: for each, the item layout the
// controller announced at enable and the latest block it pushed.
//
// Concurrency: blocks arrive on the link's receive thread while host
// threads read values and enable or disable uploads. Each buffer's guard
// makes a block copy, a value read and every change of the layout mutually
// exclusive, so a read never sees half of one block and half of the next,
// and a block matched against an old layout is never copied into a new
// one. `active` and `number` are also atomic so that the receive thread can
// skip buffers that cannot match without taking any guard.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "monitoring/cycle_item_text.h"

namespace tvx {

struct ControllerHandle;

inline constexpr int kCycleBuffers = 4;
inline constexpr int kCycleItems = 32;
inline constexpr uint32_t kCycleDataBytes = 2048;

// A pushed block packet and a force-once reply, as offsets in the reply
// data: the buffer number, then the block.
namespace cycle_block_header {
inline constexpr uint32_t bufferNumber = 0;  // u8
inline constexpr uint32_t block = 1;
}  // namespace cycle_block_header

// Number type flags of an item.
namespace item_type {
inline constexpr uint8_t floating = 0x80;  // IEEE double at 64 bits, single otherwise
inline constexpr uint8_t unsignedInt = 0x40;
}  // namespace item_type

struct CycleItem {
    char name[kItemNameCapacity];  // upper-cased
    uint8_t type;
    uint8_t bits;
    uint32_t bytes;         // bytes the item takes in the block
    int32_t start;          // index of the first element
    uint32_t elementCount;
};

struct CycleUploadBuffer {
    std::atomic<int32_t> number{0};
    std::atomic<bool> active{false};
    std::atomic<uint32_t> receiveCount{0};
    std::mutex guard;  // the layout, dataLength and data
    uint32_t itemCount = 0;
    uint32_t dataLength = 0;
    CycleItem items[kCycleItems] = {};
    uint8_t data[kCycleDataBytes] = {};
};

struct CycleUploads {
    CycleUploadBuffer buffers[kCycleBuffers];
    // Serialises enables and disables: choosing a buffer and installing its
    // layout is one step for other host threads.
    std::mutex control;
};

// The handle's buffers, created on first use; null only when memory is out.
CycleUploads* cycleUploads(ControllerHandle& h);
// The handle's buffers if they were ever created, else null.
CycleUploads* existingCycleUploads(ControllerHandle& h);

// Installs the buffers' release function and the block sink (library load).
void installCycleUpload();

// Copies a block into the first active buffer numbered `bufferByte` when
// its length equals the buffer's announced block length; anything else is
// dropped. `block` holds `n` bytes.
void acceptCycleBlock(CycleUploads& uploads, uint8_t bufferByte, const uint8_t* block, uint32_t n);

}  // namespace tvx
