#include "packaging/archive_reader.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "packaging/source_hashes.h"

namespace tvx {
namespace {

constexpr size_t kMinimum = kArchiveHeaderBytes + kProjectHeaderBytes;

bool hasMagic(const uint8_t* p) { return std::memcmp(p, kArchiveMagic, sizeof kArchiveMagic) == 0; }

}  // namespace

const char* archiveFaultText(ArchiveFault fault) {
    switch (fault) {
        case ArchiveFault::none: return "ok";
        case ArchiveFault::tooShort: return "shorter than an archive header";
        case ArchiveFault::badMagic: return "not a program archive";
        case ArchiveFault::badLength: return "length field does not match";
        case ArchiveFault::badVersion: return "unknown format version";
        case ArchiveFault::badProject: return "project record damaged";
        case ArchiveFault::badSlot: return "slot size invalid";
        case ArchiveFault::slotOverrun: return "slots run past the end";
        case ArchiveFault::sizeMismatch: return "slot sizes do not add up to the length";
        case ArchiveFault::hashMismatch: return "member hash does not match";
    }
    return "unknown fault";
}

bool slotHashMatches(uint8_t type, const uint8_t* slot, size_t slotSize, uint32_t hash) {
    if (type == file_type::basic || type == file_type::basicLibrary) return sourceHash(slot, slotSize) == hash;
    // The content ends somewhere in the zero tail of the slot (and leaves
    // at least one zero): try every such end.
    size_t lastNonZero = slotSize;
    for (size_t i = slotSize; i-- > 0;) {
        if (slot[i] != 0) {
            lastNonZero = i;
            break;
        }
    }
    const size_t shortest = lastNonZero == slotSize ? 0 : lastNonZero + 1;
    if (shortest >= slotSize) return false;
    uint32_t h = stringHash(slot, shortest);
    for (size_t n = shortest; n < slotSize; ++n) {
        if (h == hash) return true;
        h *= 5;  // one more zero byte of content
    }
    return false;
}

int32_t ArchiveReader::open(const uint8_t* data, size_t size) {
    fault_ = ArchiveFault::tooShort;
    faultEntry_ = 0;
    if (!archiveCipherReady()) return rc::cipherKey;
    if (!plain_.allocate(size)) return rc::osError;
    if (size) std::memcpy(plain_.data(), data, size);
    if (size < kMinimum) return rc::ok;
    uint8_t block[kCipherBlockBytes];
    std::memcpy(block, plain_.data(), sizeof block);
    byteMirror(block, sizeof block);
    if (hasMagic(block)) {
        form_ = ArchiveForm::mirrored;
        byteMirror(plain_.data(), plain_.size());
    } else {
        form_ = ArchiveForm::enciphered;
        std::memcpy(block, plain_.data(), sizeof block);
        decipherBlock(block);
        if (!hasMagic(block)) {
            fault_ = ArchiveFault::badMagic;
            return rc::ok;
        }
        if (size % kCipherBlockBytes != 0) {
            fault_ = ArchiveFault::badLength;
            return rc::ok;
        }
        for (size_t at = 0; at < size; at += kCipherBlockBytes) decipherBlock(plain_.data() + at);
    }
    fault_ = check();
    return rc::ok;
}

uint32_t ArchiveReader::lengthField() const { return getU32(plain_.data() + archive_header::length); }
bool ArchiveReader::hasPassword() const { return plain_.data()[archive_header::passwordFlag] != 0; }
uint16_t ArchiveReader::version() const { return getU16(plain_.data() + archive_header::version); }
uint32_t ArchiveReader::word() const { return getU32(plain_.data() + archive_header::word); }
const uint8_t* ArchiveReader::digest() const { return plain_.data() + archive_header::digest; }
uint16_t ArchiveReader::entryCount() const { return getU16(record() + project_record::count); }

ArchiveFault ArchiveReader::check() {
    const size_t size = plain_.size();
    if (lengthField() != size) return ArchiveFault::badLength;
    if (version() != kArchiveVersion) return ArchiveFault::badVersion;
    if (!hasProjectMagic(record())) return ArchiveFault::badProject;
    const uint16_t count = entryCount();
    const uint64_t slotsStart = archive_header::record + projectRecordBytes(count);
    if (slotsStart > size) return ArchiveFault::badProject;
    uint64_t at = slotsStart;
    for (uint16_t i = 0; i < count; ++i) {
        const uint32_t slot = getU32(projectEntry(record(), i) + project_record::entrySlot);
        if (slot == 0 || slot % 4 != 0) return ArchiveFault::badSlot;
        if (at + slot > size) return ArchiveFault::slotOverrun;
        at += slot;
    }
    // An archive built enciphered (form flag 1) is padded to the next whole
    // block, also after its conversion to the mirrored form for a RAM run;
    // one built mirrored ends with its last slot.
    const bool rounded = plain_.data()[archive_header::form] == static_cast<uint8_t>(ArchiveForm::enciphered);
    const uint64_t expected = rounded
                                  ? (at + kCipherBlockBytes - 1) / kCipherBlockBytes * kCipherBlockBytes
                                  : at;
    if (expected != size) return ArchiveFault::sizeMismatch;
    for (uint16_t i = 0; i < count; ++i) {
        if (!entry(i).hashMatches) {
            faultEntry_ = i;
            return ArchiveFault::hashMismatch;
        }
    }
    return ArchiveFault::none;
}

ArchiveEntryInfo ArchiveReader::entry(uint16_t i) const {
    ArchiveEntryInfo info;
    // Entries are read only where the record lies inside the archive.
    if (archive_header::record + projectRecordBytes(static_cast<uint32_t>(i) + 1) > plain_.size()) return info;
    const uint8_t* e = projectEntry(record(), i);
    std::memcpy(info.name, e, kEntryNameField);
    info.type = e[project_record::entryType];
    info.autoRun = e[project_record::entryAutoRun];
    info.slotSize = getU32(e + project_record::entrySlot);
    info.hash = getU32(e + project_record::entryHash);
    uint64_t at = archive_header::record + projectRecordBytes(entryCount());
    for (uint16_t k = 0; k < i; ++k) at += getU32(projectEntry(record(), k) + project_record::entrySlot);
    info.offset = static_cast<uint32_t>(at);
    info.hashMatches = at + info.slotSize <= plain_.size() &&
                       slotHashMatches(info.type, plain_.data() + at, info.slotSize, info.hash);
    return info;
}

}  // namespace tvx
