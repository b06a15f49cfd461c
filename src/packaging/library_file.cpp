#include "packaging/library_file.h"

#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "base/archive_cipher.h"
#include "packaging/path_text.h"
#include "packaging/plc_section.h"
#include "packaging/source_hashes.h"
#include "base/whole_file.h"
#include "platform/file_kind.h"

namespace tvx {
namespace {

constexpr uint8_t kBasicMagic[4] = {'N', 'L', 'B', 0};
constexpr uint8_t kPlcMagic[4] = {'P', 'L', 'B', 0};

bool magicType(const uint8_t* header, uint8_t* type) {
    if (std::memcmp(header, kBasicMagic, 4) == 0) {
        *type = kBasicLibraryType;
        return true;
    }
    if (std::memcmp(header, kPlcMagic, 4) == 0) {
        *type = kPlcLibraryType;
        return true;
    }
    return false;
}

}  // namespace

int32_t buildLibraryImage(uint8_t type, const uint8_t* content, size_t length, uint32_t hash, ByteBuffer* image) {
    if (!archiveCipherReady()) return rc::cipherKey;
    if (length > UINT32_MAX - kLibraryHeaderBytes - kCipherBlockBytes) return rc::osError;
    const size_t total = (length + kLibraryHeaderBytes + kCipherBlockBytes - 1) / kCipherBlockBytes * kCipherBlockBytes;
    ByteBuffer out;
    if (!out.allocate(total)) return rc::osError;
    std::memcpy(out.data(), type == kPlcLibraryType ? kPlcMagic : kBasicMagic, 4);
    putU32(out.data() + 4, static_cast<uint32_t>(length));
    putU32(out.data() + 8, hash);
    putU32(out.data() + 12, 0);
    if (length) std::memcpy(out.data() + kLibraryHeaderBytes, content, length);
    for (size_t at = 0; at < total; at += kCipherBlockBytes) encipherBlock(out.data() + at);
    *image = std::move(out);
    return rc::ok;
}

int32_t makeLibraryImage(const char* source, ByteBuffer* image) {
    if (endsWithNoCase(source, ".bas")) {
        ByteBuffer text;
        const int32_t r = readWholeFile(source, &text);
        if (r != rc::ok) return r;
        const size_t length = compactBasicText(text.data(), text.size());
        return buildLibraryImage(kBasicLibraryType, text.data(), length, sourceHash(text.data(), length), image);
    }
    if (endsWithNoCase(source, ".plc")) {
        PlcSection section;
        const int32_t r = extractPlcSection(source, &section);
        if (r != rc::ok) return r;
        // The section goes in with the zero byte that follows it in memory.
        return buildLibraryImage(kPlcLibraryType, section.content.data(), section.content.size() + 1, section.hash,
                                 image);
    }
    return rc::fileError;
}

int32_t readLibraryFile(const char* path, ByteBuffer* plain, uint8_t* type) {
    if (!archiveCipherReady()) return rc::cipherKey;
    ByteBuffer file;
    const int32_t r = readWholeFile(path, &file);
    if (r != rc::ok) return r;
    if (file.size() < kLibraryHeaderBytes || file.size() % kCipherBlockBytes != 0) return rc::libraryFile;
    for (size_t at = 0; at < file.size(); at += kCipherBlockBytes) decipherBlock(file.data() + at);
    if (!magicType(file.data(), type)) return rc::libraryFile;
    *plain = std::move(file);
    return rc::ok;
}

int32_t libraryFileType(const char* path, uint8_t* type) {
    if (!archiveCipherReady()) return rc::cipherKey;
    if (path == nullptr) return rc::fileNotFound;
    if (platform::namesNonRegularFile(path)) return rc::fileError;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return rc::fileNotFound;
    int32_t result = rc::osError;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    uint8_t block[kCipherBlockBytes];
    if (length >= 0 && (length < static_cast<long>(kCipherBlockBytes) || length % kCipherBlockBytes != 0)) {
        result = rc::libraryFile;
    } else if (length >= 0 && std::fseek(f, 0, SEEK_SET) == 0 && std::fread(block, 1, sizeof block, f) == sizeof block) {
        decipherBlock(block);
        result = magicType(block, type) ? rc::ok : rc::libraryFile;
    }
    std::fclose(f);
    return result;
}

}  // namespace tvx
