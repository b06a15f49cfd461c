// A project member in the form the controller takes it, and its hash.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"

namespace tvx {

struct MemberContent {
    ByteBuffer content;
    uint32_t hash = 0;
};

// Prepares the file at `path` as a member of FileType `type`: BASIC text
// compacted, a library's content after its header (padding included), a
// PLC program's section, an HMI file unmirrored, a picture as a picture
// record, anything else as it is. Errors of reading and preparation pass
// through (20014, 20006, 20011, 20012, 20015, 20016, 3212).
int32_t prepareMember(uint8_t type, const char* path, MemberContent* out);

// Whether `path` carries an extension the archive builder allows for
// `type` (any extension for types without one).
bool memberExtensionAllowed(uint8_t type, const char* path);
// The narrower check of filling a project record's sizes and hashes.
bool realRecordExtensionAllowed(uint8_t type, const char* path);

// Slot of a content of `length` bytes: the content, a zero byte, and zero
// bytes up to a multiple of 4.
inline uint64_t slotSize(uint64_t length) { return (length + 4) & ~static_cast<uint64_t>(3); }

}  // namespace tvx
