// Filling a project record's slot sizes and hashes from its member files.
#include <cstring>

#include "base/bytes.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "packaging/member_content.h"
#include "packaging/path_text.h"
#include "packaging/project_file.h"
#include "packaging/project_record.h"
#include "tavrix.h"

using namespace tvx;

namespace {

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
