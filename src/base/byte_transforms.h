// The two self-inverse byte transforms of controller files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

inline constexpr uint8_t kFirmwareXorMask = 0x3C;

// Every byte b becomes (2 - b) mod 256; applying it twice restores the buffer.
int32_t byteMirror(uint8_t* buffer, size_t length);
// Every byte b becomes b XOR 0x3C; applying it twice restores the buffer.
int32_t firmwareXor(uint8_t* buffer, size_t length);

}  // namespace tvx
