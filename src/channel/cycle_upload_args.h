// Arguments of the cycle-upload switch (enable and disable), shared by the
// monitoring exports and the close that switches every buffer off.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

namespace cycle_enable_args {
inline constexpr size_t buffer = 0;    // u8: low byte of the buffer number, 0xFF for every buffer
inline constexpr size_t enable = 1;    // u8: 1 enable, 0 disable
inline constexpr size_t interval = 2;  // u32 milliseconds, passed through
inline constexpr size_t items = 6;     // the item text and its 0 byte
inline constexpr uint8_t everyBuffer = 0xFF;
}  // namespace cycle_enable_args

}  // namespace tvx
