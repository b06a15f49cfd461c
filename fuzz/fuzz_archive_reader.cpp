// Archives of both forms: the reader checks the layout and every entry's
// hash without reading outside the copy it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/archive_cipher.h"
#include "packaging/archive_reader.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool keyed = initArchiveCipher() == 0;
    if (!keyed) std::abort();
    ArchiveReader reader;
    if (reader.open(data, size) != 0) return 0;
    (void)archiveFaultText(reader.fault());
    if (reader.fault() != ArchiveFault::none) return 0;
    volatile uint32_t sink = reader.lengthField() ^ reader.word() ^ reader.version() ^ reader.hasPassword();
    for (uint16_t i = 0; i < reader.entryCount(); ++i) {
        const ArchiveEntryInfo e = reader.entry(i);
        // A checked archive's slots lie inside it.
        if (e.offset > reader.size() || e.slotSize > reader.size() - e.offset) std::abort();
        sink = sink ^ e.hash ^ e.type;
    }
    (void)sink;
    return 0;
}
