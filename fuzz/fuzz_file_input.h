// Shared by the fuzz targets whose parsers read a path: the input goes into
// one scratch file per process, rewritten for every run.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tvx::fuzzing {

// A scratch path ending in `extension`, private to this process.
inline std::string scratchPath(const char* extension) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tvx_fuzz_" + std::to_string(::getpid()) + extension;
}

// Writes the input to `path`; false when the file cannot be written.
inline bool writeInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
}

}  // namespace tvx::fuzzing
