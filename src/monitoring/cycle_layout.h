// The item layout of a cycle-upload block and the values inside it: the
// enable reply that announces the layout, and the conversion of one element
// to a double or to a 32-bit integer. Callers hold the buffer's guard.
#pragma once

#include <cstdint>

#include "monitoring/cycle_buffer.h"

namespace tvx {

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
