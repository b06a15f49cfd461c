#include "engine/archive_check.h"

namespace tvx::sim {

ArchiveCheck checkArchive(const std::vector<uint8_t>& data, bool mirroredOnly) {
    ArchiveCheck result;
    ArchiveReader reader;
    if (reader.open(data.data(), data.size()) != 0) return result;
    result.fault = reader.fault();
    result.faultEntry = reader.faultEntry();
    if (result.fault != ArchiveFault::none) return result;
    if (mirroredOnly && reader.form() != ArchiveForm::mirrored) {
        result.fault = ArchiveFault::badMagic;
        return result;
    }
    const uint8_t* record = reader.record();
    result.project.assign(record, record + projectRecordBytes(reader.entryCount()));
    result.status = 0;
    return result;
}

}  // namespace tvx::sim
