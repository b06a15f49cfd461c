// The three-file store's RAM download: a file goes into a RAM area in parts
// under a 16-bit file number, then can be run from there.
#pragma once

#include <cstdint>

#include "link/handle.h"

namespace tvx {

// Longest caller name kept in a composed RAM name.
inline constexpr uint32_t kRamNameKept = 127;
// Separator between the name and the number in a composed RAM name.
inline constexpr char kRamNameSeparator = 0x13;
// Room for a composed RAM name: 127 characters, the separator, a signed
// decimal number of up to 11 characters and the 0 byte.
inline constexpr uint32_t kRamNameBytes = kRamNameKept + 1 + 11 + 1;

// The name a whole-file RAM download goes under: `name` cut to 127
// characters, the byte 0x13, then `number` in decimal. 20002 for no name.
int32_t composeRamName(const char* name, int32_t number, char (&out)[kRamNameBytes]);

// Starts a RAM download of file `fileNumber`; `out` (optional) receives the
// controller's answer value.
int32_t ramDownBegin(ControllerHandle& h, uint16_t fileNumber, uint32_t announced, const char* name, uint32_t* out);
// Sends one part in blocks numbered from 1; `out` (optional) receives the
// answer value of the last acknowledged block.
int32_t ramDownPart(ControllerHandle& h, uint16_t fileNumber, const void* data, uint32_t length, uint32_t* out);
// Ends the RAM download of file `fileNumber`.
int32_t ramDownEnd(ControllerHandle& h, uint16_t fileNumber);

}  // namespace tvx
