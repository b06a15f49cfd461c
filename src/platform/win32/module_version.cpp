#include "platform/win32/module_version.h"

namespace tvx::platform {
namespace {

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoBytes = 52;
constexpr size_t kHeaderBytes = 6;  // wLength, wValueLength, wType

}  // namespace

bool fixedFileVersion(const uint8_t* data, size_t size, uint32_t* mostSignificant, uint32_t* leastSignificant) {
    if (!data || size < kHeaderBytes) return false;
    const size_t length = readU16(data);
    const size_t valueLength = readU16(data + 2);
    if (length > size) return false;
    if (valueLength < kFixedInfoBytes) return false;
    // The key is the UTF-16 text "VS_VERSION_INFO" with its terminator,
    // followed by padding to a 32-bit boundary, then the fixed information.
    static const char kKey[] = "VS_VERSION_INFO";
    size_t at = kHeaderBytes;
    for (size_t i = 0; i < sizeof kKey; ++i, at += 2) {
        if (at + 2 > length || readU16(data + at) != static_cast<uint8_t>(kKey[i])) return false;
    }
    at = (at + 3) & ~static_cast<size_t>(3);
    if (at + kFixedInfoBytes > length) return false;
    const uint8_t* fixed = data + at;
    if (readU32(fixed) != kFixedSignature) return false;
    // dwSignature, dwStrucVersion, then dwFileVersionMS and dwFileVersionLS.
    *mostSignificant = readU32(fixed + 8);
    *leastSignificant = readU32(fixed + 12);
    return true;
}

}  // namespace tvx::platform
