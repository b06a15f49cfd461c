// Compiled PLC program files: header, section table and the program
// section cut out of them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/byte_buffer.h"
#include "base/archive_cipher.h"
#include "packaging/plc_section.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool keyed = initArchiveCipher() == 0;
    if (!keyed) std::abort();
    ByteBuffer file;
    if (!file.allocate(size)) return 0;
    if (size) std::memcpy(file.data(), data, size);
    PlcSection section;
    if (extractPlcSectionFromMemory(file.data(), size, &section) == 0 && section.content.size() > size) std::abort();
    return 0;
}
