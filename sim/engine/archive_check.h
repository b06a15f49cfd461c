// The controller's acceptance check of a downloaded program archive: its
// form, length, magic, project record, and every slot's size and hash.
#pragma once

#include <cstdint>
#include <vector>

#include "packaging/archive_reader.h"

namespace tvx::sim {

// Controller status of a refused archive (the library's "file error.").
inline constexpr int32_t kArchiveRefused = 20011;

struct ArchiveCheck {
    int32_t status = kArchiveRefused;  // 0 when accepted
    ArchiveFault fault = ArchiveFault::tooShort;
    uint32_t faultEntry = 0;            // with hashMismatch
    std::vector<uint8_t> project;       // the project record, when accepted
};

// `mirroredOnly`: downloads for storing and for running from RAM always
// come in the mirrored form; a named archive download may be in either.
ArchiveCheck checkArchive(const std::vector<uint8_t>& data, bool mirroredOnly);

}  // namespace tvx::sim
