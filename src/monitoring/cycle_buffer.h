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

// The item layout of a block and the values inside it: the enable reply
// that announces the layout, and the conversion of one element to a double
// or to a 32-bit integer. Callers hold the buffer's guard.

// Fields of the enable reply's data.
namespace cycle_enable_reply {
inline constexpr uint32_t itemCount = 0;    // u16
inline constexpr uint32_t blockLength = 2;  // u16
inline constexpr uint32_t records = 4;      // one record per item
inline constexpr uint32_t recordBytes = 6;
// Fields of one item record.
inline constexpr uint32_t firstIndex = 0;    // u16
inline constexpr uint32_t elementCount = 2;  // u16
inline constexpr uint32_t typeFlags = 4;     // u8
inline constexpr uint32_t bitWidth = 5;      // u8
}  // namespace cycle_enable_reply

// Completes the layout of `b`, whose items already carry their names and
// the start indexes read from the item text, from the enable reply's data
// (`n` bytes). On success sets dataLength and returns 0; otherwise 20038
// (another item count), 20035 (a block larger than the buffer) or 20100 (a
// reply too short for its records, or items that do not fit the block).
int32_t applyLayout(CycleUploadBuffer& b, const uint8_t* data, uint32_t n);

struct CycleValue {
    double asDouble;
    int32_t asInt;
};

// Reads element `index` of the first item named `name` (ignoring case)
// whose range holds the index, from the buffer's latest block: 0, or 20039
// when no item holds it or its bytes lie outside the block.
int32_t readCycleValue(const CycleUploadBuffer& b, const char* name, int32_t index, CycleValue* out);

// The integer result of a floating-point element: truncated toward zero;
// NaN and values outside the 32-bit range give INT32_MIN.
int32_t truncateToInt(double v);

}  // namespace tvx
