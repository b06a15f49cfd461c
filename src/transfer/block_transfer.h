// The block transfer engine: files, firmware sections and RAM parts move
// between host and controller as numbered blocks, one request packet each.
#pragma once

#include <cstdint>

#include "channel/packet_area.h"
#include "channel/request_codes.h"
#include "link/handle.h"

namespace tvx {

inline constexpr uint16_t kLastBlock = 0xFFFF;
inline constexpr uint16_t kBlockRefused = 213;  // controller result: block refused
inline constexpr uint32_t kMaxTransferName = 1024;
inline constexpr uint32_t kMaxWindow = 100;  // blocks in flight at most
// The largest block a RAM part may ask for: it and the block's own fields
// fill a request packet.
inline constexpr uint32_t kLargestRamBlock = 2016;
// Resumptions in a row that bring no progress before a transfer gives up.
inline constexpr int kMaxResumptions = 3;

// Start of a download: request arguments.
namespace download_start_request {
inline constexpr size_t block = 0;      // u16, 0
inline constexpr size_t attribute = 2;  // u16
inline constexpr size_t length = 4;     // u32 bytes to come
inline constexpr size_t name = 8;       // name with its 0 byte
}  // namespace download_start_request

// The controller's plan for the blocks to come: the data of its answer to a
// download start, and to a RAM part's first block.
namespace block_plan_reply {
inline constexpr size_t largestBlock = 0;  // u16
inline constexpr size_t window = 2;        // u16 blocks in flight
inline constexpr size_t bytes = 4;
}  // namespace block_plan_reply

// A download block (file or firmware section): request arguments.
namespace download_block_request {
inline constexpr size_t number = 0;  // u16, 0xFFFF for the last
inline constexpr size_t count = 2;   // u16
inline constexpr size_t bytes = 4;
}  // namespace download_block_request

// A RAM part packet: request arguments. Its blocks carry the file number
// between count and data.
namespace ram_part_request {
inline constexpr size_t block = 0;       // u16: 0 to start, 1.. for data, 0xFFFF to end
inline constexpr size_t count = 2;       // u16 data bytes (0 when starting or ending)
inline constexpr size_t fileNumber = 4;  // u16
inline constexpr size_t announced = 6;   // u32, start only
inline constexpr size_t name = 10;       // name with its 0 byte, start only
inline constexpr size_t data = 6;        // data of a block
inline constexpr size_t endBytes = 6;
}  // namespace ram_part_request

// A RAM part answer: reply data.
namespace ram_part_reply {
inline constexpr size_t value = 4;  // u32 returned to the caller
}  // namespace ram_part_reply

// Start and blocks of an upload: request arguments.
namespace upload_request {
inline constexpr size_t block = 0;  // u16, 0 to start
inline constexpr size_t name = 2;   // name with its 0 byte, start only
}  // namespace upload_request

// Start of an upload: reply data.
namespace upload_start_reply {
inline constexpr size_t length = 4;  // u32 bytes announced
}  // namespace upload_start_reply

// An upload block: reply data (a listing entry uses the same layout with
// the entry's size in place of number and count).
namespace upload_block_reply {
inline constexpr size_t number = 0;     // u16
inline constexpr size_t count = 2;      // u16
inline constexpr size_t bytes = 4;
inline constexpr size_t entrySize = 0;  // u32, listing entries
}  // namespace upload_block_reply

// The transfer state (request 148), as offsets in its whole reply packet.
namespace transfer_state_reply {
inline constexpr size_t received = 10;    // u32
inline constexpr size_t total = 14;       // u32
inline constexpr size_t code = 18;        // u32
inline constexpr size_t fileNumber = 22;  // u32, RAM parts
inline constexpr size_t lastBlock = 26;   // u16
}  // namespace transfer_state_reply

// done / total as the handle's progress (0 for a total of 0).
inline float progressFraction(uint64_t done, uint64_t total) {
    return total ? static_cast<float>(static_cast<double>(done) / static_cast<double>(total)) : 0.0f;
}

// Puts the handle's progress back to 0 whichever way a transfer ends.
class ProgressReset {
public:
    explicit ProgressReset(ControllerHandle& h) : h_(h) {}
    ~ProgressReset() { h_.progress.store(0.0f, std::memory_order_relaxed); }
    ProgressReset(const ProgressReset&) = delete;
    ProgressReset& operator=(const ProgressReset&) = delete;
    void set(uint64_t done, uint64_t total) {
        h_.progress.store(progressFraction(done, total), std::memory_order_relaxed);
    }

private:
    ControllerHandle& h_;
};

// Next block number: 1 .. 65534, then 1 again.
inline uint16_t nextBlockNumber(uint16_t n) { return n >= 0xFFFE ? 1 : static_cast<uint16_t>(n + 1); }

// How the blocks of one download go: bytes a block and blocks in flight.
// A RAM part learns both from its first block's answer, which is therefore
// always awaited.
struct BlockPlan {
    uint32_t blockSize = 0;
    uint32_t window = 1;
    bool fromFirstAnswer = false;
};
// Where one download's progress lies inside a larger job (the sections of a
// firmware image): progress = (before + sent) / total.
struct ProgressSpan {
    uint64_t before = 0;
    uint64_t total = 0;
};

// The three kinds of block stream differ in three points, and only there.
// Header: a file or firmware section block is number and count, its last
// numbered 0xFFFF; a RAM part block adds its file number and numbers its
// last block like the others.
enum class BlockHeader : uint8_t { transfer, ramPart };
// Acknowledgement: a transfer waits for block 1, every window-th block and
// the last; a RAM part for the block after block 1 and after every
// window-th block, and for the first and the last.
enum class Acknowledgement : uint8_t { onWindowEnd, afterWindowEnd };
// Resumption: the controller's transfer state must name the same request
// code and, for a transfer, the same total length, for a RAM part the same
// file number.
enum class ResumeMatch : uint8_t { sameLength, sameFileNumber };

struct BlockStream {
    uint16_t code = 0;
    BlockHeader header = BlockHeader::transfer;
    Acknowledgement acknowledgement = Acknowledgement::onWindowEnd;
    ResumeMatch resume = ResumeMatch::sameLength;
    uint16_t fileNumber = 0;  // RAM parts
};

// The blocks of a file or firmware section download under `code`.
inline BlockStream transferStream(uint16_t code) { return BlockStream{code}; }
// The blocks of a RAM part of file `fileNumber`.
inline BlockStream ramPartStream(uint16_t fileNumber) {
    return BlockStream{req::threeFileRamPart, BlockHeader::ramPart, Acknowledgement::afterWindowEnd,
                       ResumeMatch::sameFileNumber, fileNumber};
}

// The plan a controller's answer to a start packet sets: the link's block
// size cut to the controller's largest block and to a multiple of 32, its
// window up to 100 (1 without windowed transfer, and on a serial link when
// `oneBlockOnSerial`). A reply without the two fields keeps the defaults and
// window 1. 20100 when no whole 32 bytes fit a block.
int32_t planDownload(const ControllerHandle& h, const PacketArea& startReply, bool oneBlockOnSerial, BlockPlan& plan);
// The plan a RAM part starts with, before its first block's answer.
BlockPlan ramPartPlan(const ControllerHandle& h);
// Sends `length` bytes as the blocks of `stream` whose start the controller
// has accepted. After a refused block it resumes from the position the
// controller reports while that still matches the stream; resumptions
// without progress end it with 213 after three. Sets the progress within
// `span`; resetting it is the caller's. `answer` (optional) receives the
// value of the last acknowledged RAM part block.
int32_t sendBlocks(ControllerHandle& h, const BlockStream& stream, BlockPlan plan, const uint8_t* data,
                   uint32_t length, ProgressSpan span, uint32_t* answer = nullptr);

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
