// The program archive (.nar): a 32-byte header, a copy of the project
// record, and one slot per member. Finished either enciphered (rounded to
// 32 bytes, every block enciphered) or mirrored (every byte b -> 2 - b).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

inline constexpr size_t kArchiveHeaderBytes = 32;
inline constexpr uint8_t kArchiveMagic[4] = {'N', 'A', 'R', 0};
inline constexpr uint16_t kArchiveVersion = 1;

namespace archive_header {
inline constexpr size_t length = 4;        // u32 total length
inline constexpr size_t form = 8;          // u8: 1 enciphered, 0 mirrored
inline constexpr size_t passwordFlag = 9;  // u8
inline constexpr size_t version = 10;      // u16
inline constexpr size_t word = 12;         // u32, the caller's value
inline constexpr size_t digest = 16;       // 16 bytes MD5 of the upper-cased password
inline constexpr size_t record = 32;       // the project record
}  // namespace archive_header

enum class ArchiveForm : uint8_t { mirrored = 0, enciphered = 1 };

}  // namespace tvx
