// Program archives: build to a file, build and download, download an
// existing archive, and download to RAM and run.
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "base/archive_cipher.h"
#include "base/byte_transforms.h"
#include "base/debug_output.h"
#include "base/result_codes.h"
#include "base/whole_file.h"
#include "channel/request_codes.h"
#include "packaging/archive_builder.h"
#include "packaging/project_record.h"
#include "tavrix.h"
#include "transfer/block_transfer.h"

using namespace tvx;

namespace {


int32_t writeArchive(const char* path, const ByteBuffer& archive) {
    if (path == nullptr) return refuse(rc::badArgument, "path is NULL");
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return rc::fileNotFound;  // the output cannot be created (a directory included)
    const bool whole = std::fwrite(archive.data(), 1, archive.size(), f) == archive.size();
    const bool closed = std::fclose(f) == 0;
    return whole && closed ? rc::ok : rc::osError;
}

int32_t buildFromRecord(uint8_t* record, const char* directory, const char* password, uint32_t word,
                        ArchiveForm form, ByteBuffer* archive) {
    ArchiveSource source;
    source.record = record;
    source.directory = directory;
    source.password = password;
    source.word = word;
    return buildArchive(source, form, archive);
}

int32_t buildFromFile(const char* projectPath, const char* password, uint32_t word, ArchiveForm form,
                      ByteBuffer* archive) {
    ProjectFile project;
    const int32_t r = readProjectFile(projectPath, &project);
    if (r != rc::ok) return r;
    return buildFromRecord(project.record.data(), project.directory, password, word, form, archive);
}

int32_t send(ControllerHandle& h, uint16_t code, int32_t built, const ByteBuffer& archive, const char* name = nullptr) {
    if (built != rc::ok) return built;
    return downloadBlocks(h, code, 0, archive.data(), static_cast<uint32_t>(archive.size()), name);
}

bool looksEnciphered(const uint8_t* data) {
    uint8_t block[kCipherBlockBytes];
    std::memcpy(block, data, sizeof block);
    decipherBlock(block);
    return std::memcmp(block, kArchiveMagic, sizeof kArchiveMagic) == 0;
}

// Turns an enciphered archive into the mirrored form in place: decipher
// every block, then mirror every byte. `length` is a multiple of 32.
void encipheredToMirrored(uint8_t* data, size_t length) {
    for (size_t at = 0; at < length; at += kCipherBlockBytes) decipherBlock(data + at);
    byteMirror(data, length);
}

size_t roundUp32(size_t n) { return (n + kCipherBlockBytes - 1) / kCipherBlockBytes * kCipherBlockBytes; }

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_MakeNar(const char* projectPath, const char* archivePath, const char* password,
                                        uint32_t word) {
    ByteBuffer archive;
    const int32_t r = buildFromFile(projectPath, password, word, ArchiveForm::enciphered, &archive);
    return r != rc::ok ? r : writeArchive(archivePath, archive);
}

TVX_API int32_t TVX_STDCALL TVX_MakeNar2(uint8_t* record, const char* directory, const char* archivePath,
                                         const char* password, uint32_t word) {
    ByteBuffer archive;
    const int32_t r = buildFromRecord(record, directory, password, word, ArchiveForm::enciphered, &archive);
    return r != rc::ok ? r : writeArchive(archivePath, archive);
}

TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown(TVX_HANDLE api, const char* projectPath, const char* password,
                                               uint32_t word) {
    return withHandle(api, [&](ControllerHandle& h) {
        ByteBuffer archive;
        const int32_t r = buildFromFile(projectPath, password, word, ArchiveForm::mirrored, &archive);
        return send(h, req::archiveDownload, r, archive);
    });
}

TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown2(TVX_HANDLE api, uint8_t* record, const char* directory,
                                                const char* password, uint32_t word) {
    return withHandle(api, [&](ControllerHandle& h) {
        ByteBuffer archive;
        const int32_t r = buildFromRecord(record, directory, password, word, ArchiveForm::mirrored, &archive);
        return send(h, req::archiveDownload, r, archive);
    });
}

TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun(TVX_HANDLE api, const char* projectPath, const char* password,
                                                 uint32_t word) {
    return withHandle(api, [&](ControllerHandle& h) {
        ByteBuffer archive;
        const int32_t r = buildFromFile(projectPath, password, word, ArchiveForm::mirrored, &archive);
        return send(h, req::archiveRamRun, r, archive);
    });
}

TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun2(TVX_HANDLE api, uint8_t* record, const char* directory,
                                                  const char* password, uint32_t word) {
    return withHandle(api, [&](ControllerHandle& h) {
        ByteBuffer archive;
        const int32_t r = buildFromRecord(record, directory, password, word, ArchiveForm::mirrored, &archive);
        return send(h, req::archiveRamRun, r, archive);
    });
}

TVX_API int32_t TVX_STDCALL TVX_DownNar(TVX_HANDLE api, const char* archivePath, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) {
        return downloadFile(h, req::archiveNamedDownload, archivePath, name);
    });
}

TVX_API int32_t TVX_STDCALL TVX_DownMemNar(TVX_HANDLE api, const void* archive, uint32_t length, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) {
        return downloadBlocks(h, req::archiveNamedDownload, 0, archive, length, name);
    });
}

TVX_API int32_t TVX_STDCALL TVX_DownNarToRamAndRun(TVX_HANDLE api, const char* archivePath) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!archiveCipherReady()) return rc::cipherKey;
        ByteBuffer file;
        int32_t r = readWholeFile(archivePath, &file);
        if (r != rc::ok) return r;
        const size_t length = file.size();
        if (length > UINT32_MAX) return rc::fileLength;
        // Only the enciphered form is accepted here.
        if (length < kCipherBlockBytes || !looksEnciphered(file.data())) return rc::fileError;
        if (!file.resize(roundUp32(length))) return rc::osError;
        encipheredToMirrored(file.data(), file.size());
        return downloadBlocks(h, req::archiveRamRun, 0, file.data(), static_cast<uint32_t>(length), nullptr);
    });
}

TVX_API int32_t TVX_STDCALL TVX_DownMemNarToRamAndRun(TVX_HANDLE api, const void* archive, uint32_t length) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (archive == nullptr) return refuse(rc::badArgument, "archive is NULL");
        if (!archiveCipherReady()) return rc::cipherKey;
        const uint8_t* bytes = static_cast<const uint8_t*>(archive);
        // Under one block it cannot be enciphered: it goes as it is (and an
        // empty buffer gets the transfer engine's own refusal).
        if (length < kCipherBlockBytes || !looksEnciphered(bytes))
            return downloadBlocks(h, req::archiveRamRun, 0, bytes, length, nullptr);
        ByteBuffer copy;
        if (!copy.allocate(roundUp32(length))) return rc::osError;
        std::memcpy(copy.data(), bytes, length);
        encipheredToMirrored(copy.data(), copy.size());
        return downloadBlocks(h, req::archiveRamRun, 0, copy.data(), static_cast<uint32_t>(copy.size()), nullptr);
    });
}

}  // extern "C"
