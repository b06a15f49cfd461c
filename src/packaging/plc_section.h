// Extraction of the program section from a compiled PLC program file.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

inline constexpr uint32_t kPlcHeaderBytes = 68;

struct PlcSection {
    ByteBuffer content;  // the section's S bytes, zero byte after them
    uint32_t hash = 0;   // string hash of those bytes
};

// Reads the file at `path` and extracts its program section. 0, or 20014
// (cannot open), 20006 (memory, short read), 20012 (under 68 bytes), 20011
// (wrong magic, sections overrun the file), 20016 (header word 26 is zero),
// 3212 (the archive cipher was never keyed).
int32_t extractPlcSection(const char* path, PlcSection* out);

// The same over a file already in memory; `file` is decoded in place.
int32_t extractPlcSectionFromMemory(uint8_t* file, uint64_t length, PlcSection* out);

}  // namespace tvx
