// The controller's separate store of program files: check, list, delete,
// whole-file transfers, RAM downloads (whole, or begun, sent in parts and
// ended) and running from RAM.
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "base/debug_output.h"
#include "transfer/block_transfer.h"

using namespace tvx;

namespace {

inline constexpr uint32_t kMissingFile = 0xFFFFFFFF;  // the existence answer for no such file
inline constexpr uint32_t kExistsAnswer = 4;          // bytes of that answer
inline constexpr uint16_t kListFirst = 0;
inline constexpr uint16_t kListNext = 0xFFFF;
inline constexpr uint16_t kListCurrent = 0xFFFE;

// Longest caller name kept in a composed RAM name.
inline constexpr uint32_t kRamNameKept = 127;
// Separator between the name and the number in a composed RAM name.
inline constexpr char kRamNameSeparator = 0x13;
// Room for a composed RAM name: 127 characters, the separator, a signed
// decimal number of up to 11 characters and the 0 byte.
inline constexpr uint32_t kRamNameBytes = kRamNameKept + 1 + 11 + 1;

// Run from RAM: the two request values.
namespace ram_run_request {
inline constexpr size_t first = 0;   // u16
inline constexpr size_t second = 2;  // u16
inline constexpr size_t bytes = 4;
}  // namespace ram_run_request

// A name sent as a request body, without its 0 byte.
int32_t nameBody(const char* name, uint32_t limit, uint32_t& n) {
    if (!name) return refuse(rc::badArgument, "name is NULL");
    const size_t length = strnlen(name, limit + 1);
    if (length > limit) return refuse(rc::badArgument, "the name is longer than its field");
    n = static_cast<uint32_t>(length);
    return rc::ok;
}

int32_t checkFile(ControllerHandle& h, const char* name, uint8_t* exists, uint32_t* value) {
    if (!exists) return refuse(rc::badArgument, "exists is NULL");
    uint32_t n = 0;
    int32_t r = nameBody(name, packet::largestPacket - 4, n);
    if (r != rc::ok) return r;
    uint8_t answer[kExistsAnswer] = {};
    uint16_t got = 0;
    r = exchangeData(h, req::threeFileExists, name, n, answer, kExistsAnswer, &got);
    if (r != rc::ok) return r;
    // The answer is a whole u32 or nothing usable.
    if (got != kExistsAnswer) return rc::replyLength;
    const uint32_t v = getU32(answer);
    if (v == kMissingFile) {
        *exists = 0;
        return rc::ok;
    }
    *exists = 1;
    if (value) *value = v;
    return rc::ok;
}

int32_t deleteFile(ControllerHandle& h, const char* name) {
    uint32_t n = 0;
    const int32_t r = nameBody(name, packet::largestPacket, n);
    return r == rc::ok ? requestWithData(h, req::threeFileDelete, name, n) : r;
}

int32_t remainingSpace(ControllerHandle& h, uint16_t value, uint32_t* space) {
    PacketArea p(req::threeFileRamSpace, 2);
    putU16(p.args(), value);
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    if (p.dataLength() == 0) return rc::replyLength;
    if (space) *space = getU32(p.data());
    return rc::ok;
}

// The name a whole-file RAM download goes under: `name` cut to 127
// characters, the byte 0x13, then `number` in decimal. 20002 for no name.
int32_t composeRamName(const char* name, int32_t number, char (&out)[kRamNameBytes]) {
    if (!name) return refuse(rc::badArgument, "name is NULL");
    const size_t kept = strnlen(name, kRamNameKept);
    std::memcpy(out, name, kept);
    out[kept] = kRamNameSeparator;
    std::snprintf(out + kept + 1, kRamNameBytes - kept - 1, "%d", static_cast<int>(number));
    return rc::ok;
}

// Starts a RAM download of file `fileNumber`; `out` (optional) receives the
// controller's answer value.
int32_t ramDownBegin(ControllerHandle& h, uint16_t fileNumber, uint32_t announced, const char* name, uint32_t* out) {
    const size_t nameLength = name ? strnlen(name, kMaxTransferName + 1) : 0;
    if (nameLength > kMaxTransferName) return refuse(rc::nameTooLong, "name is longer than 1024 characters");
    PacketArea p(req::threeFileRamPart, static_cast<uint32_t>(ram_part_request::name + nameLength + 1));
    putU16(p.args() + ram_part_request::fileNumber, fileNumber);
    putU32(p.args() + ram_part_request::announced, announced);
    if (nameLength) std::memcpy(p.args() + ram_part_request::name, name, nameLength);
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    if (out) *out = getU32(p.data() + ram_part_reply::value);
    h.progress.store(0.0f, std::memory_order_relaxed);
    return rc::ok;
}

// Sends one part in blocks numbered from 1; `out` (optional) receives the
// answer value of the last acknowledged block.
int32_t ramDownPart(ControllerHandle& h, uint16_t fileNumber, const void* data, uint32_t length, uint32_t* out) {
    if (!data || length == 0) return refuse(rc::badArgument, "data is NULL or length is 0");
    ProgressReset progress(h);
    return sendBlocks(h, ramPartStream(fileNumber), ramPartPlan(h), static_cast<const uint8_t*>(data), length,
                      ProgressSpan{0, length}, out);
}

// Ends the RAM download of file `fileNumber`.
int32_t ramDownEnd(ControllerHandle& h, uint16_t fileNumber) {
    PacketArea p(req::threeFileRamPart, ram_part_request::endBytes);
    putU16(p.args() + ram_part_request::block, kLastBlock);
    putU16(p.args() + ram_part_request::fileNumber, fileNumber);
    return lockedTransact(h, p);
}

int32_t runFromRam(ControllerHandle& h, uint16_t first, uint16_t second) {
    PacketArea p(req::threeFileRamRun, ram_run_request::bytes);
    putU16(p.args() + ram_run_request::first, first);
    putU16(p.args() + ram_run_request::second, second);
    return lockedTransact(h, p);
}

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_Check3File(TVX_HANDLE api, const char* name, uint8_t* exists, uint32_t* value) {
    return withHandle(api, [&](ControllerHandle& h) { return checkFile(h, name, exists, value); });
}

TVX_API int32_t TVX_STDCALL TVX_FindFirst3File(TVX_HANDLE api, char* nameOut, uint32_t* sizeOut) {
    return withHandle(api, [&](ControllerHandle& h) { return findEntry(h, req::threeFileListing, kListFirst, nameOut, sizeOut); });
}

TVX_API int32_t TVX_STDCALL TVX_FindNext3File(TVX_HANDLE api, char* nameOut, uint32_t* sizeOut) {
    return withHandle(api, [&](ControllerHandle& h) { return findEntry(h, req::threeFileListing, kListNext, nameOut, sizeOut); });
}

TVX_API int32_t TVX_STDCALL TVX_GetCur3File(TVX_HANDLE api, char* nameOut, uint32_t* sizeOut) {
    return withHandle(api, [&](ControllerHandle& h) { return findEntry(h, req::threeFileListing, kListCurrent, nameOut, sizeOut); });
}

TVX_API int32_t TVX_STDCALL TVX_Delete3File(TVX_HANDLE api, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) { return deleteFile(h, name); });
}

TVX_API int32_t TVX_STDCALL TVX_RemoveAll3Files(TVX_HANDLE api) {
    return withHandle(api, [&](ControllerHandle& h) { return requestSimple(h, req::threeFileRemoveAll); });
}

TVX_API int32_t TVX_STDCALL TVX_Down3File(TVX_HANDLE api, const char* localPath, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) { return downloadFile(h, req::threeFileDown, localPath, name); });
}

TVX_API int32_t TVX_STDCALL TVX_DownMem3File(TVX_HANDLE api, const void* data, uint32_t length, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) { return downloadBlocks(h, req::threeFileDown, 0, data, length, name); });
}

TVX_API int32_t TVX_STDCALL TVX_Down3FileRam(TVX_HANDLE api, const char* localPath, const char* name, int32_t number) {
    return withHandle(api, [&](ControllerHandle& h) {
        char ramName[kRamNameBytes];
        const int32_t r = composeRamName(name, number, ramName);
        return r == rc::ok ? downloadFile(h, req::threeFileRamDown, localPath, ramName) : r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_DownMem3FileRam(TVX_HANDLE api, const void* data, uint32_t length, const char* name,
                                                int32_t number) {
    return withHandle(api, [&](ControllerHandle& h) {
        char ramName[kRamNameBytes];
        const int32_t r = composeRamName(name, number, ramName);
        return r == rc::ok ? downloadBlocks(h, req::threeFileRamDown, 0, data, length, ramName) : r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_3FileRamGetRemainSpace(TVX_HANDLE api, uint16_t value, uint32_t* space) {
    return withHandle(api, [&](ControllerHandle& h) { return remainingSpace(h, value, space); });
}

TVX_API int32_t TVX_STDCALL TVX_3FileRamDownBegin(TVX_HANDLE api, uint16_t fileNumber, uint32_t announced,
                                                  const char* name, uint32_t* out) {
    return withHandle(api, [&](ControllerHandle& h) { return ramDownBegin(h, fileNumber, announced, name, out); });
}

TVX_API int32_t TVX_STDCALL TVX_3FileRamDownPart(TVX_HANDLE api, uint16_t fileNumber, const void* data,
                                                 uint32_t length, uint32_t* out) {
    return withHandle(api, [&](ControllerHandle& h) { return ramDownPart(h, fileNumber, data, length, out); });
}

TVX_API int32_t TVX_STDCALL TVX_3FileRamDownEnd(TVX_HANDLE api, uint16_t fileNumber) {
    return withHandle(api, [&](ControllerHandle& h) { return ramDownEnd(h, fileNumber); });
}

TVX_API int32_t TVX_STDCALL TVX_Run3FileRam(TVX_HANDLE api, uint16_t first, uint16_t second) {
    return withHandle(api, [&](ControllerHandle& h) { return runFromRam(h, first, second); });
}

}  // extern "C"
