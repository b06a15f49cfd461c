// Builds firmware image files for tests: a 32-byte header and a payload,
// plain, enciphered with the archive cipher or scrambled and sectioned.
// Written from the image layout, not from the library's reader, so that
// tests check the reader against it. The parts stay editable so that tests
// can break an image in one place.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/archive_cipher.h"
#include "base/bytes.h"

namespace tvx::testing {

using ImageBytes = std::vector<uint8_t>;

struct SectionPlan {
    std::string name;
    ImageBytes data;
    uint32_t attribute = 0;
};

// An image before it is put together: header fields and the payload in
// its plain form (for sectioned images: table and section data).
struct ImageParts {
    uint32_t hardwareId = 0;
    uint32_t type = 0;
    uint32_t sectionCount = 0;
    uint32_t tableSize = 0;
    ImageBytes payload;
    int64_t declaredLength = -1;  // the payload length the header states (-1: the real one)
};

inline uint32_t byteSum(const ImageBytes& b) {
    uint32_t s = 0;
    for (uint8_t x : b) s += x;
    return s;
}

// A sectioned image's parts: descriptors of 16 bytes, the name and its 0
// byte, padded to 4 bytes; then the sections' data in order.
inline ImageParts sectionedParts(uint32_t hardwareId, const std::vector<SectionPlan>& sections) {
    ImageParts parts;
    parts.hardwareId = hardwareId;
    parts.type = 2234;
    parts.sectionCount = static_cast<uint32_t>(sections.size());
    ImageBytes table;
    for (const SectionPlan& s : sections) {
        const size_t size = (16 + s.name.size() + 1 + 3) & ~size_t{3};
        const size_t at = table.size();
        table.resize(at + size, 0);
        putU32(table.data() + at, static_cast<uint32_t>(s.data.size()));
        putU32(table.data() + at + 4, static_cast<uint32_t>(size));
        putU32(table.data() + at + 8, s.attribute);
        putU32(table.data() + at + 12, byteSum(s.data));
        std::copy(s.name.begin(), s.name.end(), table.begin() + static_cast<long>(at + 16));
    }
    parts.tableSize = static_cast<uint32_t>(table.size());
    parts.payload = table;
    for (const SectionPlan& s : sections) parts.payload.insert(parts.payload.end(), s.data.begin(), s.data.end());
    return parts;
}

inline bool enciphered(uint32_t type) { return type == 1234 || (type >= 3234 && type <= 3241); }

// The image file: the header, then the payload in the form its type is
// stored in (enciphered types: mirrored and enciphered block by block, the
// last partial block left as it is; sectioned: XOR 0x3C).
inline ImageBytes assemble(const ImageParts& parts) {
    ImageBytes stored = parts.payload;
    if (enciphered(parts.type)) {
        initArchiveCipher();
        for (auto& b : stored) b = static_cast<uint8_t>(2 - b);
        for (size_t at = 0; at + 32 <= stored.size(); at += 32) encipherBlock(stored.data() + at);
    } else if (parts.type == 2234) {
        for (auto& b : stored) b ^= 0x3C;
    }
    ImageBytes file(32 + stored.size(), 0);
    putU32(file.data() + 0, parts.hardwareId);
    putU32(file.data() + 8, parts.type);
    putU32(file.data() + 12, parts.declaredLength >= 0 ? static_cast<uint32_t>(parts.declaredLength)
                                                       : static_cast<uint32_t>(stored.size()));
    putU32(file.data() + 16, parts.sectionCount);
    putU32(file.data() + 20, parts.tableSize);
    if (!stored.empty()) std::memcpy(file.data() + 32, stored.data(), stored.size());
    return file;
}

inline ImageBytes makeImage(uint32_t hardwareId, uint32_t type, const ImageBytes& payload) {
    ImageParts parts;
    parts.hardwareId = hardwareId;
    parts.type = type;
    parts.payload = payload;
    return assemble(parts);
}

inline ImageBytes makeSectionedImage(uint32_t hardwareId, const std::vector<SectionPlan>& sections) {
    return assemble(sectionedParts(hardwareId, sections));
}

}  // namespace tvx::testing
