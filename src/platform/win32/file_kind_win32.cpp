#include "platform/file_kind.h"

#include "platform/win32/win32.h"

namespace tvx::platform {

bool namesNonRegularFile(const char* path) {
    if (path == nullptr) return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

}  // namespace tvx::platform
