#include "base/whole_file.h"

#include <cstdio>

#include "base/result_codes.h"
#include "platform/file_kind.h"
#include "platform/platform.h"

namespace tvx {

int32_t readWholeFile(const char* path, ByteBuffer* out) {
    if (path == nullptr) return rc::fileNotFound;
    // A directory or device has no length worth allocating for.
    if (platform::namesNonRegularFile(path)) return rc::fileError;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return rc::fileNotFound;
    int32_t result = rc::osError;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length >= 0 && std::fseek(f, 0, SEEK_SET) == 0) {
        ByteBuffer buffer;
        const size_t size = static_cast<size_t>(length);
        const bool allocated = buffer.allocate(size);
        if (allocated) platform::adviseLargeFill(buffer.data(), size);
        if (allocated && std::fread(buffer.data(), 1, size, f) == size) {
            *out = std::move(buffer);
            result = rc::ok;
        }
    }
    std::fclose(f);
    return result;
}

}  // namespace tvx
