// Project text (.npj, read as a profile file) and binary project records
// (.prj): the builders fill a record only within its size, and the profile
// reader answers any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/bytes.h"
#include "fuzz_file_input.h"
#include "packaging/profile_file.h"
#include "packaging/project_record.h"
#include "tavrix.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzing::MemoryFile text("project.npj");
    static fuzzing::MemoryFile binary("project.prj");
    if (size < 1) return 0;
    if (data[0] & 1) {
        if (!text.write(data + 1, size - 1)) return 0;
        std::vector<uint8_t> record(projectRecordBytes(kMaxProjectEntries) + 64, 0xEE);
        char directory[1024];
        (void)TVX_MakeMultiFileNpj(record.data(), directory, text.path().c_str());
        for (size_t i = projectRecordBytes(kMaxProjectEntries); i < record.size(); ++i)
            if (record[i] != 0xEE) std::abort();
        const ProfileFile profile(text.path().c_str());
        char names[256];
        (void)profile.getString("Controller", "Files", names, sizeof names, "");
        (void)profile.getArray("FileList", "File1", names, sizeof names, ",", true);
    } else {
        if (!binary.write(data + 1, size - 1)) return 0;
        ProjectFile project;
        if (readProjectFile(binary.path().c_str(), &project) == 0 &&
            project.record.size() != projectRecordBytes(getU16(project.record.data() + project_record::count)))
            std::abort();
    }
    return 0;
}
