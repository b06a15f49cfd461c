#include "base/debug_output.h"
#include "packaging/project_file.h"

#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/whole_file.h"
#include "packaging/project_record.h"

namespace tvx {

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
