#include "packaging/project_record.h"

#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"
#include "packaging/library_file.h"
#include "packaging/path_text.h"
#include "platform/utc_time.h"

namespace tvx {
namespace {

constexpr uint8_t kProjectMagic[4] = {'N', 'P', 'J', 0};

struct ExtensionType {
    const char* extension;
    uint8_t type;
};

constexpr ExtensionType kExtensionTypes[] = {
    {"bas", fileType::basic}, {"plc", fileType::plc},  {"hmi", fileType::hmi},  {"n3p", fileType::n3p},
    {"nc", fileType::cnc},    {"cnc", fileType::cnc},  {"g", fileType::cnc},    {"nml", fileType::nml},
    {"bmp", fileType::bmp},   {"jpg", fileType::jpeg}, {"jpe", fileType::jpeg}, {"jpeg", fileType::jpeg},
    {"gif", fileType::gif},   {"nft", fileType::font}, {"ttf", fileType::trueTypeFont},
};

}  // namespace

bool hasProjectMagic(const uint8_t* record) { return std::memcmp(record, kProjectMagic, sizeof kProjectMagic) == 0; }

void writeProjectHeader(uint8_t* record, uint16_t count) {
    std::memcpy(record, kProjectMagic, sizeof kProjectMagic);
    std::memcpy(record + 4, "1.0", 4);
    putU16(record + projectField::count, count);
    const platform::UtcTime now = platform::currentUtcTime();
    record[14] = 0;
    record[15] = now.hour;
    record[16] = now.minute;
    record[17] = now.hour;
    record[18] = now.month;
    record[19] = now.day;
    putU16(record + 20, now.year);
    putU16(record + 22, 0);
    putU32(record + projectField::archiveWord, 0);
}

void writeProjectEntry(uint8_t* entry, const char* name, uint8_t type, uint8_t autoRun) {
    std::memset(entry, 0, kEntryNameField);
    std::memcpy(entry, name, strnlen(name, kEntryNameField - 1));
    entry[projectField::entryType] = type;
    entry[projectField::entryAutoRun] = autoRun;
    putU32(entry + projectField::entrySlot, 0);
    putU32(entry + projectField::entryHash, 0);
}

uint8_t fileTypeForPath(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr) return fileType::unknown;
    const char* extension = dot + 1;
    if (equalsNoCase(extension, "nlb")) {
        uint8_t type = fileType::basicLibrary;
        return libraryFileType(path, &type) == 0 ? type : fileType::basicLibrary;
    }
    for (const ExtensionType& e : kExtensionTypes)
        if (equalsNoCase(extension, e.extension)) return e.type;
    return fileType::unknown;
}

}  // namespace tvx
