// Reading a binary project file (a project record on disk) for the archive
// builders and the record filler.
#pragma once

#include <cstdint>

#include "base/byte_buffer.h"
#include "packaging/path_text.h"

namespace tvx {

struct ProjectFile {
    ByteBuffer record;          // exactly 64 + 36 x n bytes
    char directory[kMaxPath];   // up to and including the last separator
};

// 0, or 20002 (no path), 20014, 20006, 20012 (shorter than the header, or
// a length other than 64 + 36 x n), 20011 (no project magic), 20013 (a
// directory of 260 characters or more).
int32_t readProjectFile(const char* path, ProjectFile* out);

}  // namespace tvx
