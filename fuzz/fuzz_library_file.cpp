// Library files: the cipher blocks, the header's magic and type, and the
// walk over the global lines of a BASIC library or the label records of a
// PLC library.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/byte_buffer.h"
#include "fuzz_file_input.h"
#include "base/archive_cipher.h"
#include "packaging/library_file.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool keyed = initArchiveCipher() == 0;
    static fuzzing::MemoryFile input("library.nlb");
    if (!keyed) std::abort();
    if (size < 1) return 0;
    // The first byte picks whether the rest is taken as a plain image
    // (enciphered here, so the fuzzer reaches the label walk) or as it is.
    const bool plain = data[0] & 1;
    ByteBuffer file;
    if (!file.allocate(size - 1)) return 0;
    if (size > 1) std::memcpy(file.data(), data + 1, size - 1);
    if (plain)
        for (size_t at = 0; at + kCipherBlockBytes <= file.size(); at += kCipherBlockBytes) encipherBlock(file.data() + at);
    if (!input.write(file.data(), file.size())) return 0;
    const char* path = input.path().c_str();
    uint8_t type = 0;
    (void)libraryFileType(path, &type);
    ByteBuffer image;
    if (readLibraryFile(path, &image, &type) != 0) return 0;
    char globals[512];
    libraryGlobals(image, type, globals, sizeof globals);
    if (strnlen(globals, sizeof globals) == sizeof globals) std::abort();  // always terminated
    char tiny[1];
    libraryGlobals(image, type, tiny, sizeof tiny);
    return 0;
}
