// Files, logs, firmware images and flash tables moved in blocks.
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "base/debug_output.h"
#include "base/text.h"
#include "transfer/block_transfer.h"

using namespace tvx;

namespace {

inline constexpr uint32_t kMaxFloatCount = 0x3FFFFFFF;  // count x 4 must fit 32 bits
inline constexpr size_t kFileStateText = 26;

// A flash table is named by its number in decimal.
struct TableName {
    char text[8];
    explicit TableName(uint16_t table) { std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(table)); }
};

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_DownFile(TVX_HANDLE api, const char* localPath, const char* controllerName) {
    return withHandle(api, [&](ControllerHandle& h) { return downloadFile(h, req::fileDown, localPath, controllerName); });
}

TVX_API int32_t TVX_STDCALL TVX_DownMemFile(TVX_HANDLE api, const void* data, uint32_t length,
                                            const char* controllerName) {
    return withHandle(api, [&](ControllerHandle& h) { return downloadBlocks(h, req::fileDown, 0, data, length, controllerName); });
}

TVX_API int32_t TVX_STDCALL TVX_UpFile(TVX_HANDLE api, const char* localPath, const char* controllerName) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToFile(h, req::fileUp, localPath, controllerName); });
}

TVX_API int32_t TVX_STDCALL TVX_UpFileToMem(TVX_HANDLE api, void* buffer, uint32_t capacity, const char* controllerName,
                                            uint32_t* received) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToMemory(h, req::fileUp, controllerName, buffer, capacity, received); });
}

TVX_API int32_t TVX_STDCALL TVX_UpLog(TVX_HANDLE api, const char* localPath) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToFile(h, req::logUp, localPath, nullptr); });
}

TVX_API int32_t TVX_STDCALL TVX_UpLogToMem(TVX_HANDLE api, void* buffer, uint32_t capacity, uint32_t* received) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToMemory(h, req::logUp, nullptr, buffer, capacity, received); });
}

TVX_API int32_t TVX_STDCALL TVX_UpFirmFile(TVX_HANDLE api, const char* localPath, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToFile(h, req::firmwareUp, localPath, name); });
}

TVX_API int32_t TVX_STDCALL TVX_UpFirmToMem(TVX_HANDLE api, void* buffer, uint32_t capacity, const char* name,
                                            uint32_t* received) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToMemory(h, req::firmwareUp, name, buffer, capacity, received); });
}

TVX_API int32_t TVX_STDCALL TVX_Up3File(TVX_HANDLE api, const char* localPath, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToFile(h, req::threeFileUp, localPath, name); });
}

TVX_API int32_t TVX_STDCALL TVX_Up3FileToMem(TVX_HANDLE api, void* buffer, uint32_t capacity, const char* name,
                                             uint32_t* received) {
    return withHandle(api, [&](ControllerHandle& h) { return uploadToMemory(h, req::threeFileUp, name, buffer, capacity, received); });
}

TVX_API int32_t TVX_STDCALL TVX_FindFirstFile(TVX_HANDLE api, char* nameOut, uint32_t* sizeOut) {
    return withHandle(api, [&](ControllerHandle& h) { return findEntry(h, req::listing, 0, nameOut, sizeOut); });
}

TVX_API int32_t TVX_STDCALL TVX_FindNextFile(TVX_HANDLE api, char* nameOut, uint32_t* sizeOut) {
    return withHandle(api, [&](ControllerHandle& h) { return findEntry(h, req::listing, 0xFFFF, nameOut, sizeOut); });
}

TVX_API int32_t TVX_STDCALL TVX_DeleteFile(TVX_HANDLE api, const char* name) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (!name) return refuse(rc::badArgument, "name is NULL");
        const size_t n = strnlen(name, packet::largestPacket + 1);
        if (n > packet::largestPacket) return refuse(rc::badArgument, "the text is longer than a packet carries");
        return requestWithData(h, req::fileDelete, name, static_cast<uint32_t>(n));
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetFileState(TVX_HANDLE api, uint16_t selector, char* out) {
    return withHandle(api, [&](ControllerHandle& h) {
        PacketArea p(req::fileState, 2);
        putU16(p.args(), selector);
        const int32_t r = queryResult(lockedTransact(h, p), p);
        if (r == rc::ok && out) copyBoundedText(out, kFileStateText, p.data(), kFileStateText);
        return r;
    });
}

TVX_API int32_t TVX_STDCALL TVX_FlashWritef(TVX_HANDLE api, uint16_t table, uint32_t count, const float* values) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (count > kMaxFloatCount) return refuse(rc::badArgument, "count exceeds the values one request carries");
        return downloadBlocks(h, req::flashTableDown, 0, values, count * 4, TableName(table).text);
    });
}

TVX_API int32_t TVX_STDCALL TVX_FlashReadf(TVX_HANDLE api, uint16_t table, uint32_t count, float* values,
                                           uint32_t* readCount) {
    return withHandle(api, [&](ControllerHandle& h) {
        if (count > kMaxFloatCount) return refuse(rc::badArgument, "count exceeds the values one request carries");
        uint32_t received = 0;
        const int32_t r =
            uploadToMemory(h, req::flashTableUp, TableName(table).text, values, count * 4, &received);
        if ((r == rc::ok || r == rc::bufferTooSmall) && readCount) *readCount = received / 4;
        return r;
    });
}

}  // extern "C"
