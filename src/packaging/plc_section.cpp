#include "packaging/plc_section.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "packaging/source_hashes.h"
#include "base/whole_file.h"

namespace tvx {
namespace {

constexpr uint8_t kPlcMagic[4] = {'N', 'P', 'C', 0};
constexpr uint32_t kUsableWordOffset = 26;
constexpr uint32_t kSectionLengthsOffset = 36;  // four u32 lengths
constexpr uint32_t kProgramLengthOffset = 52;

}  // namespace

int32_t extractPlcSectionFromMemory(uint8_t* file, uint64_t length, PlcSection* out) {
    if (length < kPlcHeaderBytes) return rc::fileLength;
    if (!archiveCipherReady()) return rc::cipherKey;
    decipherBlock(file);
    byteMirror(file + kCipherBlockBytes, static_cast<size_t>(length - kCipherBlockBytes));
    if (std::memcmp(file, kPlcMagic, sizeof kPlcMagic) != 0) return rc::fileError;
    if (getU16(file + kUsableWordOffset) == 0) return rc::fileUnusable;

    // 64-bit sums: four 32-bit lengths and S cannot wrap past the check.
    uint64_t start = kPlcHeaderBytes;
    for (uint32_t i = 0; i < 4; ++i) start += getU32(file + kSectionLengthsOffset + 4 * i);
    const uint64_t sectionLength = getU32(file + kProgramLengthOffset);
    if (start + sectionLength > length) return rc::fileError;

    PlcSection section;
    if (!section.content.allocate(static_cast<size_t>(sectionLength))) return rc::osError;
    std::memcpy(section.content.data(), file + start, static_cast<size_t>(sectionLength));
    section.hash = stringHash(section.content.data(), section.content.size());
    *out = std::move(section);
    return rc::ok;
}

int32_t extractPlcSection(const char* path, PlcSection* out) {
    ByteBuffer file;
    const int32_t read = readWholeFile(path, &file);
    if (read != rc::ok) return read;
    return extractPlcSectionFromMemory(file.data(), file.size(), out);
}

}  // namespace tvx
