// Compiled PLC program files and the label records of their program
// section, made in memory for tests and fuzz seeds. Written from the file
// layout, so that readers are checked against it rather than restated.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "base/bytes.h"

namespace tvx::testing {

// A compiled PLC program file holding `section` as its program section
// after sections of the given lengths, encoded as the PLC tools do (first
// block enciphered, the rest mirrored). The cipher must be keyed.
inline std::vector<uint8_t> makePlcProgram(const std::vector<uint8_t>& section,
                                           const std::vector<uint32_t>& before = {4}) {
    size_t body = 0;
    for (uint32_t n : before) body += n;
    std::vector<uint8_t> f(68 + body + section.size(), 0);
    for (size_t i = 68; i < 68 + body; ++i) f[i] = static_cast<uint8_t>(i * 7 + 1);
    f[0] = 'N';
    f[1] = 'P';
    f[2] = 'C';
    putU16(f.data() + 26, 1);
    for (size_t i = 0; i < before.size() && i < 4; ++i) putU32(f.data() + 36 + 4 * i, before[i]);
    putU32(f.data() + 52, static_cast<uint32_t>(section.size()));
    std::copy(section.begin(), section.end(), f.begin() + static_cast<long>(68 + body));
    byteMirror(f.data() + 32, f.size() - 32);
    encipherBlock(f.data());
    return f;
}

// Label records of a PLC program section: class 17, kind 28, length, form.
inline void appendLabelRecord(std::vector<uint8_t>& s, int32_t number) {
    std::vector<uint8_t> r(16, 0);
    r[0] = 17;
    r[1] = 28;
    putU16(r.data() + 2, 16);
    r[9] = 11;
    putI32(r.data() + 12, number);
    s.insert(s.end(), r.begin(), r.end());
}
inline void appendLabelRecord(std::vector<uint8_t>& s, const std::string& name) {
    std::vector<uint8_t> r(12 + name.size() + 1, 0);
    r[0] = 17;
    r[1] = 28;
    putU16(r.data() + 2, static_cast<uint16_t>(r.size()));
    r[9] = 50;
    std::copy(name.begin(), name.end(), r.begin() + 12);
    s.insert(s.end(), r.begin(), r.end());
}
// Any other record of class 17 (the label walk steps over it).
inline void appendOtherRecord(std::vector<uint8_t>& s, uint8_t kind, size_t length) {
    std::vector<uint8_t> r(length < 4 ? 4 : length, 0x11);
    r[0] = 17;
    r[1] = kind;
    putU16(r.data() + 2, static_cast<uint16_t>(r.size()));
    s.insert(s.end(), r.begin(), r.end());
}

}  // namespace tvx::testing
