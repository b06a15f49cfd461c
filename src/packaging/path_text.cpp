#include "packaging/path_text.h"

#include <cstring>

#include "base/ascii.h"
#include "base/debug_output.h"
#include "base/result_codes.h"

namespace tvx {
namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace

size_t directoryLength(const char* path) {
    size_t n = 0;
    for (size_t i = 0; path[i]; ++i)
        if (isSeparator(path[i])) n = i + 1;
    return n;
}

const char* fileNameOf(const char* path) { return path + directoryLength(path); }

bool endsWithNoCase(const char* path, const char* extension) {
    const size_t n = std::strlen(path);
    const size_t e = std::strlen(extension);
    return n > e && equalsNoCase(path + n - e, extension);
}

const char* extensionOf(const char* path) {
    const char* dot = std::strrchr(path, '.');
    return dot ? dot + 1 : path + std::strlen(path);
}

int32_t joinPath(const char* directory, const char* name, char out[kMaxPath]) {
    const char* dir = directory ? directory : "";
    const size_t d = std::strlen(dir);
    const size_t n = std::strlen(name);
    const bool addSeparator = d > 0 && !isSeparator(dir[d - 1]);
    if (d + (addSeparator ? 1 : 0) + n + 1 > kMaxPath)
        return refuse(rc::nameTooLong, "the path is longer than 259 characters");
    std::memcpy(out, dir, d);
    size_t at = d;
    if (addSeparator) out[at++] = kSeparator;
    std::memcpy(out + at, name, n + 1);
    return rc::ok;
}

}  // namespace tvx
