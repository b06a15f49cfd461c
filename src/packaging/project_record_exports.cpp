// Project records: made from one program file or from a project text file,
// and their slot sizes and hashes filled from the member files.
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "packaging/member_content.h"
#include "packaging/path_text.h"
#include "packaging/profile_file.h"
#include "packaging/project_record.h"
#include "tavrix.h"

using namespace tvx;

namespace {

// Copies the directory part of `path` into the caller's buffer of kMaxPath
// bytes (when given); 20013 when it would not fit.
int32_t copyDirectory(const char* path, char* directoryOut) {
    const size_t n = directoryLength(path);
    if (n >= kMaxPath) return refuse(rc::nameTooLong, "the directory is longer than 259 characters");
    if (directoryOut == nullptr) return rc::ok;
    std::memcpy(directoryOut, path, n);
    directoryOut[n] = 0;
    return rc::ok;
}

// Checks shared by both builders: directory, name length, extension.
int32_t checkSourcePath(const char* path, char* directoryOut) {
    if (path == nullptr) return refuse(rc::badArgument, "path is NULL");
    const int32_t r = copyDirectory(path, directoryOut);
    if (r != rc::ok) return r;
    if (*path == 0) return refuse(rc::badArgument, "path is empty");
    if (std::strlen(fileNameOf(path)) >= kEntryNameField)
        return refuse(rc::nameTooLong, "the file name has 26 characters or more");
    return rc::ok;
}

int32_t fillRecord(const char* directory, uint8_t* record) {
    if (record == nullptr) return refuse(rc::badArgument, "record is NULL");
    if (!hasProjectMagic(record)) return rc::fileError;
    const uint16_t count = getU16(record + project_record::count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* entry = projectEntry(record, i);
        const char* name = reinterpret_cast<const char*>(entry);
        if (strnlen(name, kEntryNameField) == kEntryNameField)
            return refuse(rc::nameTooLong, "an entry name fills its field");
        char path[kMaxPath];
        int32_t r = joinPath(directory, name, path);
        if (r != rc::ok) return r;
        const uint8_t type = entry[project_record::entryType];
        if (!realRecordExtensionAllowed(type, path)) return rc::fileError;
        MemberContent member;
        r = prepareMember(type, path, &member);
        if (r != rc::ok) return r;
        putU32(entry + project_record::entrySlot, static_cast<uint32_t>(slotSize(member.content.size())));
        putU32(entry + project_record::entryHash, member.hash);
    }
    return rc::ok;
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_MakeOneFileNpj(uint8_t* record, char* directoryOut, const char* filePath) {
    if (record == nullptr) return refuse(rc::badArgument, "record is NULL");
    const int32_t r = checkSourcePath(filePath, directoryOut);
    if (r != rc::ok) return r;
    const bool basic = endsWithNoCase(filePath, ".bas");
    if (!basic && !endsWithNoCase(filePath, ".plc")) return rc::fileError;
    writeProjectHeader(record, 1);
    writeProjectEntry(projectEntry(record, 0), fileNameOf(filePath), basic ? file_type::basic : file_type::plc, 0);
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_MakeMultiFileNpj(uint8_t* record, char* directoryOut, const char* projectPath) {
    if (record == nullptr) return refuse(rc::badArgument, "record is NULL");
    int32_t r = checkSourcePath(projectPath, directoryOut);
    if (r != rc::ok) return r;
    if (!endsWithNoCase(projectPath, ".npj")) return rc::fileError;

    const ProfileFile project(projectPath);
    int32_t count = project.getInt("Controller", "Files", 0);
    if (count < 0) count = 0;
    if (count > static_cast<int32_t>(kMaxProjectEntries)) count = kMaxProjectEntries;
    writeProjectHeader(record, static_cast<uint16_t>(count));

    char directory[kMaxPath];
    std::memcpy(directory, projectPath, directoryLength(projectPath));
    directory[directoryLength(projectPath)] = 0;
    for (int32_t i = 1; i <= count; ++i) {
        char key[24];
        std::snprintf(key, sizeof key, "File%d", static_cast<int>(i));
        const ProfileText name = project.getString("FileList", key, "");
        std::snprintf(key, sizeof key, "AutoRun%d", static_cast<int>(i));
        const uint8_t autoRun = static_cast<uint8_t>(project.getInt("FileList", key, -1));
        uint8_t* entry = projectEntry(record, static_cast<uint32_t>(i - 1));
        const char* text = name.data() ? reinterpret_cast<const char*>(name.data()) : "";
        // An entry without a name is still written, so that no stale bytes
        // of the caller's buffer are ever taken for a name.
        if (*text == 0) {
            writeProjectEntry(entry, "", file_type::unknown, autoRun);
            continue;
        }
        if (std::strlen(text) >= kEntryNameField)
            return refuse(rc::nameTooLong, "an entry name has 26 characters or more");
        char path[kMaxPath];
        r = joinPath(directory, text, path);
        if (r != rc::ok) return r;
        writeProjectEntry(entry, text, fileTypeForPath(path), autoRun);
    }
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_MakeRealNpj(const char* projectPath, uint8_t* buffer, uint32_t bufferSize) {
    ProjectFile project;
    int32_t r = readProjectFile(projectPath, &project);
    if (r != rc::ok) return r;
    r = fillRecord(project.directory, project.record.data());
    if (r != rc::ok) return r;
    if (buffer == nullptr) return refuse(rc::badArgument, "buffer is NULL");
    if (bufferSize < project.record.size()) return rc::bufferTooSmall;
    std::memcpy(buffer, project.record.data(), project.record.size());
    return rc::ok;
}

TVX_API int32_t TVX_STDCALL TVX_MakeRealNpjMem(const char* directory, uint8_t* record) {
    return fillRecord(directory, record);
}

}  // extern "C"
