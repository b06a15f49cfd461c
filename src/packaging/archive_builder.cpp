#include "base/debug_output.h"
#include "packaging/archive_builder.h"

#include <cstdio>
#include <cstring>

#include "base/archive_cipher.h"
#include "base/ascii.h"
#include "base/byte_transforms.h"
#include "base/bytes.h"
#include "base/result_codes.h"
#include "packaging/library_file.h"
#include "packaging/member_content.h"
#include "packaging/path_text.h"
#include "packaging/project_record.h"
#include "platform/file_kind.h"
#include "platform/md5.h"

namespace tvx {
namespace {

uint64_t roundUp32(uint64_t n) { return (n + kCipherBlockBytes - 1) / kCipherBlockBytes * kCipherBlockBytes; }

int32_t fileLength(const char* path, uint64_t* length) {
    if (platform::namesNonRegularFile(path)) return rc::fileError;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return rc::fileNotFound;
    long n = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) n = std::ftell(f);
    std::fclose(f);
    if (n < 0) return rc::osError;
    *length = static_cast<uint64_t>(n);
    return rc::ok;
}

// The member's path, with the checks both passes rely on.
int32_t memberPath(const char* directory, const uint8_t* entry, char path[kMaxPath]) {
    const char* name = reinterpret_cast<const char*>(entry);
    if (strnlen(name, kEntryNameField) == kEntryNameField)
        return refuse(rc::nameTooLong, "an entry name fills its field");
    return joinPath(directory, name, path);
}

int32_t writePassword(const char* password, uint8_t* header) {
    const size_t n = password ? std::strlen(password) : 0;
    if (n == 0) return rc::ok;  // flag 0 and a zero digest
    ByteBuffer upper;
    if (!upper.allocate(n)) return rc::osError;
    for (size_t i = 0; i < n; ++i) {
        upper.data()[i] = static_cast<uint8_t>(upperAscii(password[i]));
    }
    if (!platform::md5Digest(upper.data(), n, header + archive_header::digest)) return rc::osError;
    header[archive_header::passwordFlag] = 1;
    return rc::ok;
}

}  // namespace

int32_t buildArchive(const ArchiveSource& source, ArchiveForm form, ByteBuffer* archive) {
    uint8_t* record = source.record;
    if (record == nullptr) return refuse(rc::badArgument, "record is NULL");
    if (!hasProjectMagic(record)) return rc::fileError;
    if (!archiveCipherReady()) return rc::cipherKey;
    const bool enciphered = form == ArchiveForm::enciphered;
    const uint16_t count = getU16(record + project_record::count);
    const size_t recordBytes = projectRecordBytes(count);

    // First pass: slot sizes estimated from the lengths on disk.
    uint64_t total = kArchiveHeaderBytes + recordBytes;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* entry = projectEntry(record, i);
        char path[kMaxPath];
        int32_t r = memberPath(source.directory, entry, path);
        if (r != rc::ok) return r;
        uint64_t length = 0;
        r = fileLength(path, &length);
        if (r != rc::ok) return r;
        const uint8_t type = entry[project_record::entryType];
        if (!memberExtensionAllowed(type, path)) return rc::fileError;
        if (type == file_type::basicLibrary || type == file_type::plcLibrary) {
            if (length <= kLibraryHeaderBytes) return rc::libraryFile;
            length -= kLibraryHeaderBytes;
        }
        const uint64_t slot = slotSize(length);
        if (slot > UINT32_MAX) return rc::osError;
        putU32(entry + project_record::entrySlot, static_cast<uint32_t>(slot));
        total += slot;
    }
    if (enciphered) total = roundUp32(total);
    if (total > UINT32_MAX) return rc::osError;

    ByteBuffer out;
    if (!out.allocate(static_cast<size_t>(total))) return rc::osError;
    uint8_t* header = out.data();
    std::memcpy(header, kArchiveMagic, sizeof kArchiveMagic);
    header[archive_header::form] = enciphered ? 1 : 0;
    putU16(header + archive_header::version, kArchiveVersion);
    putU32(header + archive_header::word, source.word);
    int32_t r = writePassword(source.password, header);
    if (r != rc::ok) return r;
    std::memcpy(out.data() + archive_header::record, record, recordBytes);
    putU32(out.data() + archive_header::record + project_record::archiveWord, 0);

    // Second pass: real contents. Everything is addressed by offset, since
    // the buffer may move when a content outgrows its estimate.
    uint64_t position = kArchiveHeaderBytes + recordBytes;
    uint64_t estimatesLeft = total - position;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entryAt = archive_header::record + projectRecordBytes(i);
        char path[kMaxPath];
        r = memberPath(source.directory, out.data() + entryAt, path);
        if (r != rc::ok) return r;
        MemberContent member;
        r = prepareMember(out.data()[entryAt + project_record::entryType], path, &member);
        if (r != rc::ok) return r;
        const uint64_t estimate = getU32(out.data() + entryAt + project_record::entrySlot);
        const uint64_t slot = slotSize(member.content.size());
        estimatesLeft = estimatesLeft >= estimate ? estimatesLeft - estimate : 0;
        uint64_t needed = position + slot + estimatesLeft;
        if (enciphered) needed = roundUp32(needed);
        if (needed > UINT32_MAX) return rc::osError;
        if (needed > out.size() && !out.resize(static_cast<size_t>(needed))) return rc::osError;
        putU32(out.data() + entryAt + project_record::entryHash, member.hash);
        putU32(out.data() + entryAt + project_record::entrySlot, static_cast<uint32_t>(slot));
        uint8_t* at = out.data() + position;
        std::memcpy(at, member.content.data(), member.content.size());
        std::memset(at + member.content.size(), 0, static_cast<size_t>(slot - member.content.size()));
        position += slot;
    }

    // Finish: the length is the final one, written just before the form's
    // transform so that it reads correctly after the reverse step.
    uint64_t length = enciphered ? roundUp32(position) : position;
    if (length > out.size() && !out.resize(static_cast<size_t>(length))) return rc::osError;
    std::memset(out.data() + position, 0, static_cast<size_t>(out.size() - position));
    out.shrink(static_cast<size_t>(length));
    putU32(out.data() + archive_header::length, static_cast<uint32_t>(length));
    if (enciphered) {
        for (size_t at = 0; at < out.size(); at += kCipherBlockBytes) encipherBlock(out.data() + at);
    } else {
        byteMirror(out.data(), out.size());
    }
    *archive = std::move(out);
    return rc::ok;
}

}  // namespace tvx
