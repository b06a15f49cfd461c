// The binary project record: a 64-byte header and 36-byte entries, one per
// file of the project (name, FileType, auto-run, slot size, hash).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_buffer.h"
#include "packaging/path_text.h"

namespace tvx {

inline constexpr size_t kProjectHeaderBytes = 64;
inline constexpr size_t kProjectEntryBytes = 36;
inline constexpr uint32_t kMaxProjectEntries = 1000;
inline constexpr size_t kEntryNameField = 26;  // at most 25 characters and a zero

namespace project_record {
inline constexpr size_t count = 12;       // u16 entries
inline constexpr size_t archiveWord = 24; // u32, zero in records the library makes
inline constexpr size_t entryType = 26;   // u8 FileType
inline constexpr size_t entryAutoRun = 27;
inline constexpr size_t entrySlot = 28;   // u32 slot size in an archive
inline constexpr size_t entryHash = 32;   // u32 content hash
}  // namespace project_record

namespace file_type {
inline constexpr uint8_t basic = 1;
inline constexpr uint8_t basicLibrary = 2;
inline constexpr uint8_t plcLibrary = 3;
inline constexpr uint8_t plc = 4;
inline constexpr uint8_t hmi = 5;
inline constexpr uint8_t n3p = 6;
inline constexpr uint8_t cnc = 7;
inline constexpr uint8_t nml = 19;
inline constexpr uint8_t bmp = 21;
inline constexpr uint8_t jpeg = 22;
inline constexpr uint8_t gif = 23;
inline constexpr uint8_t font = 40;
inline constexpr uint8_t trueTypeFont = 41;
inline constexpr uint8_t unknown = 255;
}  // namespace file_type

inline bool isPictureType(uint8_t type) { return type >= 20 && type <= 29; }

inline size_t projectRecordBytes(uint32_t entries) { return kProjectHeaderBytes + kProjectEntryBytes * entries; }
inline uint8_t* projectEntry(uint8_t* record, uint32_t i) { return record + projectRecordBytes(i); }
inline const uint8_t* projectEntry(const uint8_t* record, uint32_t i) { return record + projectRecordBytes(i); }

bool hasProjectMagic(const uint8_t* record);
// Magic, version "1.0", the entry count, the UTC creation time (hour in
// bytes 15 and 17), and zero in the words at 22 and 24. Bytes 8-11 and
// 28-63 are left as they are.
void writeProjectHeader(uint8_t* record, uint16_t count);
// Name (zero-filled field), type, auto-run; slot size and hash zero.
void writeProjectEntry(uint8_t* entry, const char* name, uint8_t type, uint8_t autoRun);
// The FileType of a file from its extension; a library file is opened to
// tell a BASIC from a PLC library (2 when it cannot be read as one).
uint8_t fileTypeForPath(const char* path);

// A binary project file (a project record on disk), read for the archive
// builders and the record filler.
struct ProjectFile {
    ByteBuffer record;          // exactly 64 + 36 x n bytes
    char directory[kMaxPath];   // up to and including the last separator
};

// 0, or 20002 (no path), 20014, 20006, 20012 (shorter than the header, or
// a length other than 64 + 36 x n), 20011 (no project magic), 20013 (a
// directory of 260 characters or more).
int32_t readProjectFile(const char* path, ProjectFile* out);

}  // namespace tvx
