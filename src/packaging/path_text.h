// Path pieces as the packaging code uses them. Both '\' and '/' separate
// directories (project files written on Windows name their members with
// backslashes; paths on POSIX use slashes).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

// Longest path (directory and name with its terminator) the packaging code
// builds; longer ones are refused with 20013.
inline constexpr size_t kMaxPath = 260;

// Length of the directory part: up to and including the last separator
// (0 when there is none).
size_t directoryLength(const char* path);
// The text after the last separator.
const char* fileNameOf(const char* path);
// True when `path` ends in `extension` (".bas"), letters compared without
// regard to case, and is longer than the extension.
bool endsWithNoCase(const char* path, const char* extension);
// The extension after the last '.' of the path ("" when there is none).
const char* extensionOf(const char* path);

// directory + (separator when the directory is non-empty and lacks one) +
// name into `out` (kMaxPath bytes). 20013 when it does not fit; a NULL
// directory counts as empty, which leaves the name relative to the current
// directory.
int32_t joinPath(const char* directory, const char* name, char out[kMaxPath]);

}  // namespace tvx
