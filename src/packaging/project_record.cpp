#include "packaging/project_record.h"

#include <cstring>

#include "base/ascii.h"
#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "base/whole_file.h"
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
    {"bas", file_type::basic}, {"plc", file_type::plc},  {"hmi", file_type::hmi},  {"n3p", file_type::n3p},
    {"nc", file_type::cnc},    {"cnc", file_type::cnc},  {"g", file_type::cnc},    {"nml", file_type::nml},
    {"bmp", file_type::bmp},   {"jpg", file_type::jpeg}, {"jpe", file_type::jpeg}, {"jpeg", file_type::jpeg},
    {"gif", file_type::gif},   {"nft", file_type::font}, {"ttf", file_type::trueTypeFont},
};

}  // namespace

bool hasProjectMagic(const uint8_t* record) { return std::memcmp(record, kProjectMagic, sizeof kProjectMagic) == 0; }

void writeProjectHeader(uint8_t* record, uint16_t count) {
    std::memcpy(record, kProjectMagic, sizeof kProjectMagic);
    std::memcpy(record + 4, "1.0", 4);
    putU16(record + project_record::count, count);
    const platform::UtcTime now = platform::currentUtcTime();
    record[14] = 0;
    record[15] = now.hour;
    record[16] = now.minute;
    record[17] = now.hour;
    record[18] = now.month;
    record[19] = now.day;
    putU16(record + 20, now.year);
    putU16(record + 22, 0);
    putU32(record + project_record::archiveWord, 0);
}

void writeProjectEntry(uint8_t* entry, const char* name, uint8_t type, uint8_t autoRun) {
    std::memset(entry, 0, kEntryNameField);
    std::memcpy(entry, name, strnlen(name, kEntryNameField - 1));
    entry[project_record::entryType] = type;
    entry[project_record::entryAutoRun] = autoRun;
    putU32(entry + project_record::entrySlot, 0);
    putU32(entry + project_record::entryHash, 0);
}

uint8_t fileTypeForPath(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr) return file_type::unknown;
    const char* extension = dot + 1;
    if (equalsNoCase(extension, "nlb")) {
        uint8_t type = file_type::basicLibrary;
        return libraryFileType(path, &type) == 0 ? type : file_type::basicLibrary;
    }
    for (const ExtensionType& e : kExtensionTypes)
        if (equalsNoCase(extension, e.extension)) return e.type;
    return file_type::unknown;
}


int32_t readProjectFile(const char* path, ProjectFile* out) {
    if (path == nullptr) return refuse(rc::badArgument, "path is NULL");
    const size_t directory = directoryLength(path);
    if (directory >= kMaxPath) return refuse(rc::nameTooLong, "the directory is longer than 259 characters");
    ByteBuffer file;
    const int32_t r = readWholeFile(path, &file);
    if (r != rc::ok) return r;
    // The count is read only once the header is known to be there.
    if (file.size() < kProjectHeaderBytes) return rc::fileLength;
    if (!hasProjectMagic(file.data())) return rc::fileError;
    if (file.size() != projectRecordBytes(getU16(file.data() + project_record::count))) return rc::fileLength;
    out->record = std::move(file);
    std::memcpy(out->directory, path, directory);
    out->directory[directory] = 0;
    return rc::ok;
}

}  // namespace tvx
