// Builds a program archive in memory from a project record and the
// directory holding its members.
#pragma once

#include <cstdint>

#include "packaging/archive_format.h"
#include "base/byte_buffer.h"

namespace tvx {

struct ArchiveSource {
    // The caller's record (64 + 36 x n bytes). Its slot-size fields receive
    // the first pass's estimates, as callers of the archive builders expect.
    uint8_t* record = nullptr;
    const char* directory = nullptr;  // NULL or "" for the current directory
    const char* password = nullptr;   // NULL or "" for none
    uint32_t word = 0;                // stored unchanged at header offset 12
};

// 0, or 20002 (no record), 20011 (not a project record, an extension not
// allowed for its type), 20013 (a name of 26 characters without a zero, a
// path over 260 characters), 20014 (a member missing), 20015 (a library
// member too short or invalid), 20006 (memory, an archive over 4 GiB),
// member preparation errors, 3212 (cipher never keyed).
int32_t buildArchive(const ArchiveSource& source, ArchiveForm form, ByteBuffer* archive);

}  // namespace tvx
