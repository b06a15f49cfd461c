// Library files (.nlb): a 16-byte header and program text, enciphered
// block by block as a whole. A BASIC library carries compacted BASIC text,
// a PLC library the program section of a compiled PLC program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

inline constexpr uint32_t kLibraryHeaderBytes = 16;
inline constexpr uint8_t kBasicLibraryType = 2;  // FileType of a BASIC library
inline constexpr uint8_t kPlcLibraryType = 3;    // FileType of a PLC library

// The file image of a library: header (magic of `type`, length, hash, 0),
// content, zero bytes up to a multiple of 32, enciphered. 20006 when
// memory runs out, 3212 when the cipher was never keyed.
int32_t buildLibraryImage(uint8_t type, const uint8_t* content, size_t length, uint32_t hash, ByteBuffer* image);

// Makes the image of a library from a BASIC source file or a compiled PLC
// program file (by the extension of `source`: .bas or .plc, else 20011).
int32_t makeLibraryImage(const char* source, ByteBuffer* image);

// Reads and deciphers a whole library file. Its length must be at least 16
// and a multiple of 32, and its magic that of a library (else 20015);
// 20014 / 20006 when it cannot be opened / read. `type` receives 2 or 3.
// The plain image keeps a zero byte after it in memory.
int32_t readLibraryFile(const char* path, ByteBuffer* plain, uint8_t* type);

// The kind of a library from its first block only: 2 or 3, or 20014,
// 20015 (length under 32 or not a multiple of 32, unknown magic), 20006.
int32_t libraryFileType(const char* path, uint8_t* type);

// The global declarations of a deciphered library image into `out` (`size`
// bytes, terminated, cut to fit; nothing written at size 0).
void libraryGlobals(const ByteBuffer& plain, uint8_t type, char* out, size_t size);

}  // namespace tvx
