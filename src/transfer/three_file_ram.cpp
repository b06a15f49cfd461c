#include "base/debug_output.h"
#include "transfer/three_file_ram.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "api/requests.h"
#include "link/link_driver.h"
#include "transfer/block_transfer.h"
#include "transfer/transfer_packets.h"

namespace tvx {
namespace {

// The largest block a controller may ask for: it and the block's own
// fields fill a request packet.
inline constexpr uint32_t kLargestRamBlock = 2016;

// Packets of the RAM part protocol, as offsets in their arguments.
namespace ramPacket {
inline constexpr size_t block = 0;       // u16: 0 to start, 1.. for data, 0xFFFF to end
inline constexpr size_t count = 2;       // u16 data bytes (0 when starting or ending)
inline constexpr size_t fileNumber = 4;  // u16
inline constexpr size_t announced = 6;   // u32, start only
inline constexpr size_t startName = 10;  // name with its 0 byte, start only
inline constexpr size_t data = 6;        // data of a block
inline constexpr size_t endBytes = 6;
}  // namespace ramPacket

// Reply data of the RAM part protocol.
namespace ramReply {
inline constexpr size_t blockSize = 0;  // u16, the first block's reply
inline constexpr size_t window = 2;     // u16, the first block's reply
inline constexpr size_t plan = 4;       // bytes holding both
inline constexpr size_t value = 4;      // u32 returned to the caller
}  // namespace ramReply

// The file number a transfer state record names (its whole reply packet).
inline constexpr size_t kStateFileNumber = 22;  // u32

struct RamPosition {
    uint32_t received;
    uint32_t code;
    uint32_t fileNumber;
    uint16_t lastBlock;
};

bool askPosition(ControllerHandle& h, RamPosition& pos) {
    uint8_t state[kTransferStateBytes];
    if (queryTransferState(h, state) != rc::ok) return false;
    pos.received = getU32(state + xfer::stateReceived);
    pos.code = getU32(state + xfer::stateCode);
    pos.fileNumber = getU32(state + kStateFileNumber);
    pos.lastBlock = getU16(state + xfer::stateLastBlock);
    return true;
}

uint32_t replyValue(const PacketArea& p) { return getU32(p.data() + ramReply::value); }

}  // namespace

int32_t composeRamName(const char* name, int32_t number, char (&out)[kRamNameBytes]) {
    if (!name) return refuse(rc::badArgument, "name is NULL");
    const size_t kept = strnlen(name, kRamNameKept);
    std::memcpy(out, name, kept);
    out[kept] = kRamNameSeparator;
    std::snprintf(out + kept + 1, kRamNameBytes - kept - 1, "%d", static_cast<int>(number));
    return rc::ok;
}

int32_t ramDownBegin(ControllerHandle& h, uint16_t fileNumber, uint32_t announced, const char* name, uint32_t* out) {
    const size_t nameLength = name ? strnlen(name, kMaxTransferName + 1) : 0;
    if (nameLength > kMaxTransferName) return refuse(rc::nameTooLong, "name is longer than 1024 characters");
    PacketArea p(req::threeFileRamPart, static_cast<uint32_t>(ramPacket::startName + nameLength + 1));
    putU16(p.args() + ramPacket::fileNumber, fileNumber);
    putU32(p.args() + ramPacket::announced, announced);
    if (nameLength) std::memcpy(p.args() + ramPacket::startName, name, nameLength);
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    if (out) *out = replyValue(p);
    h.progress.store(0.0f, std::memory_order_relaxed);
    return rc::ok;
}

int32_t ramDownPart(ControllerHandle& h, uint16_t fileNumber, const void* data, uint32_t length, uint32_t* out) {
    if (!data || length == 0) return refuse(rc::badArgument, "data is NULL or length is 0");
    ProgressReset progress(h);
    const auto* bytes = static_cast<const uint8_t*>(data);
    const LinkLimits limits = linkLimits(h);
    uint32_t blockSize = limits.blockBytes;
    uint32_t window = 1;
    bool first = true;
    PacketArea p;
    uint32_t sent = 0;
    uint16_t counter = 0;
    uint32_t value = 0;
    int resumptions = 0;
    uint32_t resumedAt = 0;
    while (sent < length) {
        progress.set(sent, length);
        const uint16_t previous = counter;
        counter = nextBlockNumber(counter);
        const uint32_t remaining = length - sent;
        const bool last = remaining <= blockSize;
        const uint32_t n = last ? remaining : blockSize;
        // The block after block 1 and after every window-th block waits for
        // its answer, and so do the first and the last.
        const bool acknowledged = first || last || previous == 1 || previous % window == 0;
        p.begin(req::threeFileRamPart, ramPacket::data);
        putU16(p.args() + ramPacket::block, counter);
        putU16(p.args() + ramPacket::count, static_cast<uint16_t>(n));
        putU16(p.args() + ramPacket::fileNumber, fileNumber);
        std::memcpy(p.args() + ramPacket::data, bytes + sent, n);
        p.setArgumentBytes(ramPacket::data + n);
        const int32_t r = acknowledged ? lockedTransact(h, p) : lockedSendOnly(h, p);
        if (acknowledged && r == kBlockRefused) {
            // Continue from where the controller stands if it still holds
            // this part; only resumptions without progress count.
            RamPosition pos{};
            if (!askPosition(h, pos)) return kBlockRefused;
            if (pos.received > resumedAt) resumptions = 0;
            resumedAt = pos.received;
            if (++resumptions > kMaxResumptions) return kBlockRefused;
            if (pos.lastBlock == kLastBlock || pos.code != req::threeFileRamPart || pos.fileNumber != fileNumber ||
                pos.received > length)
                return kBlockRefused;
            sent = pos.received;
            counter = pos.lastBlock;
            continue;
        }
        if (r != rc::ok) return r;
        if (acknowledged) value = replyValue(p);
        if (first) {
            // The first block's answer sets the block size and window; an
            // answer without them keeps the defaults and one block at a time.
            first = false;
            if (p.dataLength() >= ramReply::plan) {
                blockSize = std::min<uint32_t>(getU16(p.data() + ramReply::blockSize), kLargestRamBlock);
                const uint32_t w = getU16(p.data() + ramReply::window);
                window = (w == 0 || limits.oneBlockWindow || !h.windowedTransfer) ? 1 : std::min(w, kMaxWindow);
            }
        }
        sent += n;
        // Empty blocks would make no progress: nothing more is sent.
        if (blockSize == 0 && sent < length) return rc::replyLength;
    }
    if (out) *out = value;
    return rc::ok;
}

int32_t ramDownEnd(ControllerHandle& h, uint16_t fileNumber) {
    PacketArea p(req::threeFileRamPart, ramPacket::endBytes);
    putU16(p.args() + ramPacket::block, kLastBlock);
    putU16(p.args() + ramPacket::fileNumber, fileNumber);
    return lockedTransact(h, p);
}

}  // namespace tvx
