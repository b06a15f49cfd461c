// Reads a whole file into memory.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

// 0, 20014 when the file cannot be opened, 20011 (without allocating) when
// the path names a directory or anything else that is not a regular file,
// 20006 when memory runs out or fewer bytes are read than the file holds.
// Defined in the platform layer, which can tell what a path names.
int32_t readWholeFile(const char* path, ByteBuffer* out);

}  // namespace tvx
