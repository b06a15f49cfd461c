// Explicit little-endian and big-endian field access over byte buffers.
// Wire and file layouts are always read and written through these helpers,
// never by casting a struct onto a buffer.
#pragma once

#include <cstdint>
#include <cstring>

namespace tvx {

inline uint16_t getU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t getU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t getI32(const uint8_t* p) { return static_cast<int32_t>(getU32(p)); }
inline float getF32(const uint8_t* p) {
    uint32_t bits = getU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline uint64_t getU64(const uint8_t* p) { return getU32(p) | (static_cast<uint64_t>(getU32(p + 4)) << 32); }
inline double getF64(const uint8_t* p) {
    uint64_t bits = getU64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline void putI32(uint8_t* p, int32_t v) { putU32(p, static_cast<uint32_t>(v)); }
inline void putF32(uint8_t* p, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putU32(p, bits);
}
inline void putU64(uint8_t* p, uint64_t v) {
    putU32(p, static_cast<uint32_t>(v));
    putU32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void putF64(uint8_t* p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    putU64(p, bits);
}

// Big-endian 16-bit fields: standard Modbus addresses, counts and registers,
// and the MBAP length.
inline uint16_t getBe16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline void putBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
// Network-order 32-bit fields (IPv4 addresses in capture files).
inline void putBe32(uint8_t* p, uint32_t v) {
    putBe16(p, static_cast<uint16_t>(v >> 16));
    putBe16(p + 2, static_cast<uint16_t>(v));
}

}  // namespace tvx
