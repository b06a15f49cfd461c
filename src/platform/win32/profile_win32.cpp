// Profile files through the system's profile functions. A relative path is
// made absolute first: the system looks for a bare name in the Windows
// directory, not in the current one.
#include "platform/profile.h"

#include <cstring>

#include "platform/win32/win32.h"

namespace tvx::platform {
namespace {

class FullPath {
public:
    explicit FullPath(const char* path) {
        if (path == nullptr) return;
        const DWORD n = GetFullPathNameA(path, static_cast<DWORD>(sizeof text_), text_, nullptr);
        ok_ = n > 0 && n < sizeof text_;
    }
    const char* get() const { return ok_ ? text_ : nullptr; }

private:
    char text_[MAX_PATH * 4] = {};
    bool ok_ = false;
};

}  // namespace

uint32_t profileReadString(const char* path, const char* section, const char* key, const char* defaultValue,
                           char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    FullPath full(path);
    if (full.get() == nullptr || section == nullptr || key == nullptr) {
        // The system would list names here; callers only ever ask for values,
        // so a missing name reads as absent: the default, trailing blanks cut.
        size_t n = defaultValue ? std::strlen(defaultValue) : 0;
        while (n > 0 && defaultValue[n - 1] == ' ') --n;
        if (n > size - 1) n = size - 1;
        if (n) std::memcpy(out, defaultValue, n);
        out[n] = 0;
        return static_cast<uint32_t>(n);
    }
    return GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", out, size, full.get());
}

uint32_t profileReadSection(const char* path, const char* section, char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    FullPath full(path);
    if (full.get() == nullptr || section == nullptr) {
        out[0] = 0;
        if (size > 1) out[1] = 0;
        return 0;
    }
    return GetPrivateProfileSectionA(section, out, size, full.get());
}

uint32_t profileReadSectionNames(const char* path, char* out, uint32_t size) {
    if (out == nullptr || size == 0) return 0;
    FullPath full(path);
    if (full.get() == nullptr) {
        out[0] = 0;
        if (size > 1) out[1] = 0;
        return 0;
    }
    return GetPrivateProfileSectionNamesA(out, size, full.get());
}

bool profileWriteString(const char* path, const char* section, const char* key, const char* value) {
    FullPath full(path);
    if (full.get() == nullptr || section == nullptr) return false;
    return WritePrivateProfileStringA(section, key, value, full.get()) != FALSE;
}

bool profileWriteSection(const char* path, const char* section, const char* lines) {
    FullPath full(path);
    if (full.get() == nullptr || section == nullptr) return false;
    return WritePrivateProfileSectionA(section, lines, full.get()) != FALSE;
}

}  // namespace tvx::platform
