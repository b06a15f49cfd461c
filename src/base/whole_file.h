// Reads a whole file into memory.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

// 0, 20014 when the file cannot be opened, 20006 when memory runs out or
// fewer bytes are read than the file holds.
int32_t readWholeFile(const char* path, ByteBuffer* out);

}  // namespace tvx
