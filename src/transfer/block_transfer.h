// The block transfer engine: files and data blocks move between host and
// controller as numbered blocks, one request packet each.
#pragma once

#include <cstdint>

#include "channel/packet_area.h"
#include "channel/request_codes.h"
#include "link/handle.h"

namespace tvx {

namespace transferCode = req;

inline constexpr uint16_t kLastBlock = 0xFFFF;
inline constexpr uint16_t kBlockRefused = 213;  // controller result: block refused
inline constexpr uint32_t kMaxTransferName = 1024;
inline constexpr uint32_t kMaxWindow = 100;    // blocks in flight at most
// Resumptions in a row that bring no progress before a transfer gives up.
inline constexpr int kMaxResumptions = 3;

// Packet layouts of the block transfer requests.
namespace xfer {
// Start of a download: request arguments.
inline constexpr size_t startBlock = 0;      // u16, 0
inline constexpr size_t startAttribute = 2;  // u16
inline constexpr size_t startLength = 4;     // u32 bytes to come
inline constexpr size_t startName = 8;       // name with its 0 byte
// Start of a download: reply data.
inline constexpr size_t largestBlock = 0;  // u16
inline constexpr size_t window = 2;        // u16 blocks in flight
inline constexpr size_t startReplyData = 4;
// A download block: request arguments.
inline constexpr size_t blockNumber = 0;  // u16, 0xFFFF for the last
inline constexpr size_t blockCount = 2;   // u16
inline constexpr size_t blockBytes = 4;
// Start of an upload: request arguments and reply data.
inline constexpr size_t uploadBlock = 0;  // u16, 0 to start
inline constexpr size_t uploadName = 2;   // name with its 0 byte
inline constexpr size_t uploadLength = 4;  // reply: u32 bytes announced
// An upload block: reply data (the listing uses the same layout with the
// entry's size in place of number and count).
inline constexpr size_t replyNumber = 0;  // u16
inline constexpr size_t replyCount = 2;   // u16
inline constexpr size_t replyBytes = 4;
inline constexpr size_t entrySize = 0;  // u32
// The transfer state (request 148), as offsets in its whole reply packet.
inline constexpr size_t stateReceived = 10;   // u32
inline constexpr size_t stateTotal = 14;      // u32
inline constexpr size_t stateCode = 18;       // u32
inline constexpr size_t stateLastBlock = 26;  // u16
}  // namespace xfer

// How the blocks of one download go: bytes a block and blocks in flight.
struct BlockPlan {
    uint32_t blockSize = 0;
    uint32_t window = 1;
};
// Where one download's progress lies inside a larger job (the sections of a
// firmware image): progress = (before + sent) / total.
struct ProgressSpan {
    uint64_t before = 0;
    uint64_t total = 0;
};

// The plan a controller's answer to a start packet sets: 992 bytes (192 on
// a serial link) cut to the controller's largest block and to a multiple of
// 32, its window up to 100 (1 without windowed transfer, and on a serial
// link when `oneBlockOnSerial`). A reply without the two fields keeps the
// defaults and window 1. 20100 when no whole 32 bytes fit a block.
int32_t planDownload(const ControllerHandle& h, const PacketArea& startReply, bool oneBlockOnSerial, BlockPlan& plan);
// Sends the blocks of a download whose start packet the controller has
// accepted, resuming after refused blocks from the position the controller
// reports when it still holds a transfer of `code` and `length` bytes.
// Sets the progress within `span`; resetting it is the caller's.
int32_t sendDownloadBlocks(ControllerHandle& h, uint16_t code, const BlockPlan& plan, const uint8_t* data,
                           uint32_t length, ProgressSpan span);

// Sends `length` bytes as one transfer, resuming after refused blocks.
int32_t downloadBlocks(ControllerHandle& h, uint16_t code, uint16_t attribute, const void* data, uint32_t length,
                       const char* name);
// Reads a local file whole and downloads it.
int32_t downloadFile(ControllerHandle& h, uint16_t code, const char* localPath, const char* name);

// Starts an upload; stores the length the controller announces.
int32_t uploadBegin(ControllerHandle& h, uint16_t code, uint32_t* fileLength, const char* name);
// Receives blocks into `buffer`. `expected` is the announced length when
// known (a full buffer is then complete rather than too small). On 20030
// `received` holds the capacity.
int32_t uploadBlocks(ControllerHandle& h, uint16_t code, void* buffer, uint32_t capacity, uint32_t* received,
                     uint32_t expected);
int32_t uploadToFile(ControllerHandle& h, uint16_t code, const char* localPath, const char* name);
int32_t uploadToMemory(ControllerHandle& h, uint16_t code, const char* name, void* buffer, uint32_t capacity,
                       uint32_t* received);
// One directory listing step (mode 0 first, 0xFFFF next).
int32_t findEntry(ControllerHandle& h, uint16_t code, uint16_t mode, char* nameOut, uint32_t* sizeOut);

}  // namespace tvx
