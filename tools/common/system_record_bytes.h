// The controller's system record as the bytes it has on the wire: tvx's hex
// dump and the gateway's info topic show the record in this form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tavrix.h"

namespace tvx::tool {

inline constexpr size_t kSystemRecordBytes = 60;

// The record's fields in wire order, little-endian.
inline void systemRecordBytes(const TVX_SysSpecification& s, uint8_t out[kSystemRecordBytes]) {
    size_t at = 0;
    auto u8 = [&](uint8_t v) { out[at++] = v; };
    auto u16 = [&](uint16_t v) { u8(static_cast<uint8_t>(v)), u8(static_cast<uint8_t>(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); };
    u8(s.b0), u8(s.b1), u8(s.b2), u8(s.b3);
    u16(s.axisCount);
    for (uint8_t b : s.b6) u8(b);
    u32(s.u12), u32(s.u16), u32(s.u20);
    u16(s.w24), u16(s.w26), u16(s.w28);
    u8(s.b30), u8(s.b31);
    u32(s.u32), u32(s.u36);
    for (uint16_t w : s.w40) u16(w);
    u32(s.u48);
    u16(s.w52);
    for (uint8_t b : s.b54) u8(b);
}

}  // namespace tvx::tool
