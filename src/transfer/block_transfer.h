// The block transfer engine: files and data blocks move between host and
// controller as numbered blocks, one request packet each.
#pragma once

#include <cstdint>

#include "tavrix.h"
#include "channel/request_codes.h"

namespace tvx {

namespace transferCode = req;

inline constexpr uint16_t kLastBlock = 0xFFFF;
inline constexpr uint16_t kBlockRefused = 213;  // controller result: block refused
inline constexpr uint32_t kMaxTransferName = 1024;

// Sends `length` bytes as one transfer, resuming after refused blocks.
int32_t downloadBlocks(TVX_HANDLE handle, uint16_t code, uint16_t attribute, const void* data, uint32_t length,
                       const char* name);
// Reads a local file whole and downloads it.
int32_t downloadFile(TVX_HANDLE handle, uint16_t code, const char* localPath, const char* name);

// Starts an upload; stores the length the controller announces.
int32_t uploadBegin(TVX_HANDLE handle, uint16_t code, uint32_t* fileLength, const char* name);
// Receives blocks into `buffer`. `expected` is the announced length when
// known (a full buffer is then complete rather than too small). On 20030
// `received` holds the capacity.
int32_t uploadBlocks(TVX_HANDLE handle, uint16_t code, void* buffer, uint32_t capacity, uint32_t* received,
                     uint32_t expected);
int32_t uploadToFile(TVX_HANDLE handle, uint16_t code, const char* localPath, const char* name);
int32_t uploadToMemory(TVX_HANDLE handle, uint16_t code, const char* name, void* buffer, uint32_t capacity,
                       uint32_t* received);
// One directory listing step (mode 0 first, 0xFFFF next).
int32_t findEntry(TVX_HANDLE handle, uint16_t code, uint16_t mode, char* nameOut, uint32_t* sizeOut);

}  // namespace tvx
