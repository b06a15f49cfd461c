#include "platform/file_kind.h"

#include <sys/stat.h>

namespace tvx::platform {

bool namesNonRegularFile(const char* path) {
    struct stat s;
    return path != nullptr && ::stat(path, &s) == 0 && !S_ISREG(s.st_mode);
}

}  // namespace tvx::platform
