// Reading the fixed file version out of a raw VERSIONINFO resource block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::platform {

// Finds the VS_FIXEDFILEINFO of the version block `data` (`size` bytes) and
// returns its file version words; false for a block that is too short,
// malformed or carries no fixed information.
bool fixedFileVersion(const uint8_t* data, size_t size, uint32_t* mostSignificant, uint32_t* leastSignificant);

}  // namespace tvx::platform
