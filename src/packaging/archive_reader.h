// Reading a program archive back: undo its form, walk its project record
// and slots, and check every slot's size and hash. Used to inspect archives
// and by the simulated controller's acceptance check.
#pragma once

#include <cstddef>
#include <cstdint>

#include "packaging/archive_format.h"
#include "base/byte_buffer.h"
#include "packaging/project_record.h"

namespace tvx {

enum class ArchiveFault : uint8_t {
    none,
    tooShort,        // under the 96 bytes of header and record header
    badMagic,        // neither form shows the archive magic
    badLength,       // header length differs from the data, or not rounded
    badVersion,
    badProject,      // no project magic, or more entries than fit
    badSlot,         // a slot size that is not a positive multiple of 4
    slotOverrun,     // the slots run past the end
    sizeMismatch,    // header, record and slots do not add up to the length
    hashMismatch,    // a slot's content does not give its recorded hash
};

const char* archiveFaultText(ArchiveFault fault);

struct ArchiveEntryInfo {
    char name[kEntryNameField + 1] = {};
    uint8_t type = 0;
    uint8_t autoRun = 0;
    uint32_t slotSize = 0;
    uint32_t hash = 0;
    uint32_t offset = 0;  // of the slot in the archive
    bool hashMatches = false;
};

class ArchiveReader {
public:
    // Takes a copy of `data` and undoes its form (3212 when the cipher was
    // never keyed, 20006 when memory runs out). Faults are reported by
    // `fault()`, not as a result code.
    int32_t open(const uint8_t* data, size_t size);

    ArchiveFault fault() const { return fault_; }
    // The first entry whose hash failed (with hashMismatch).
    uint32_t faultEntry() const { return faultEntry_; }
    ArchiveForm form() const { return form_; }
    const uint8_t* plain() const { return plain_.data(); }
    size_t size() const { return plain_.size(); }
    uint32_t lengthField() const;
    bool hasPassword() const;
    uint16_t version() const;
    uint32_t word() const;
    const uint8_t* digest() const;  // 16 bytes
    uint16_t entryCount() const;
    const uint8_t* record() const { return plain_.data() + archive_header::record; }
    // Entry i (i < entryCount()), with its hash checked.
    ArchiveEntryInfo entry(uint16_t i) const;

private:
    ArchiveFault check();

    ByteBuffer plain_;
    ArchiveForm form_ = ArchiveForm::mirrored;
    ArchiveFault fault_ = ArchiveFault::tooShort;
    uint32_t faultEntry_ = 0;
};

// Whether `slot` bytes of a slot hold a content whose hash for member type
// `type` is `hash`: BASIC text (and BASIC libraries) by the source hash,
// all else by the string hash of the content without the slot's zero tail.
bool slotHashMatches(uint8_t type, const uint8_t* slot, size_t slotSize, uint32_t hash);

}  // namespace tvx
