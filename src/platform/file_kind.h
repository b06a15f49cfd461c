// What a path names, asked before a file is opened for reading: a directory
// or a device opened as a file reports a meaningless length.
#pragma once

namespace tvx::platform {

// True when `path` names something that exists and is not a regular file
// (a directory, a device, a pipe). A missing path is not such a thing: its
// open fails on its own.
bool namesNonRegularFile(const char* path);

}  // namespace tvx::platform
