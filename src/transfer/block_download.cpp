#include <algorithm>
#include <cstring>

#include "api/requests.h"
#include "base/debug_output.h"
#include "base/whole_file.h"
#include "link/link_driver.h"
#include "transfer/block_transfer.h"
#include "transfer/transfer_packets.h"

namespace tvx {
namespace {

// The transfer state the controller reports (request 148).
struct ControllerPosition {
    uint32_t received;
    uint32_t total;
    uint32_t code;
    uint16_t lastBlock;
};

// Writes a name and its 0 byte at `at`; the bytes written.
uint32_t putName(uint8_t* at, const char* name) {
    const size_t n = name ? std::strlen(name) : 0;
    if (n) std::memcpy(at, name, n);
    at[n] = 0;
    return static_cast<uint32_t>(n + 1);
}

int32_t sendStart(ControllerHandle& h, uint16_t code, uint16_t attribute, uint32_t length, const char* name,
                  BlockPlan& plan) {
    PacketArea p(code, xfer::startName);
    putU16(p.args() + xfer::startAttribute, attribute);
    putU32(p.args() + xfer::startLength, length);
    p.setArgumentBytes(xfer::startName + putName(p.args() + xfer::startName, name));
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    return planDownload(h, p, true, plan);
}

bool askPosition(ControllerHandle& h, ControllerPosition& pos) {
    uint8_t state[kTransferStateBytes];
    if (queryTransferState(h, state) != rc::ok) return false;
    pos.received = getU32(state + xfer::stateReceived);
    pos.total = getU32(state + xfer::stateTotal);
    pos.code = getU32(state + xfer::stateCode);
    pos.lastBlock = getU16(state + xfer::stateLastBlock);
    return true;
}

}  // namespace

int32_t planDownload(const ControllerHandle& h, const PacketArea& startReply, bool oneBlockOnSerial, BlockPlan& plan) {
    const LinkLimits limits = linkLimits(h);
    plan.blockSize = limits.blockBytes;
    plan.window = 1;
    if (startReply.dataLength() >= xfer::startReplyData) {
        const uint32_t largest = getU16(startReply.data() + xfer::largestBlock);
        const uint32_t window = getU16(startReply.data() + xfer::window);
        plan.blockSize = std::min(plan.blockSize, largest) & ~31u;
        plan.window = (window == 0 || (limits.oneBlockWindow && oneBlockOnSerial)) ? 1 : std::min(window, kMaxWindow);
    }
    if (!h.windowedTransfer) plan.window = 1;
    // A controller that accepts less than 32 bytes a block cannot be served.
    if (plan.blockSize == 0) return rc::replyLength;
    return rc::ok;
}

int32_t sendDownloadBlocks(ControllerHandle& h, uint16_t code, const BlockPlan& plan, const uint8_t* bytes,
                           uint32_t length, ProgressSpan span) {
    PacketArea p;
    uint32_t sent = 0;
    uint16_t counter = 0;
    int resumptions = 0;
    uint32_t resumedAt = 0;
    while (sent < length) {
        h.progress.store(progressFraction(span.before + sent, span.total), std::memory_order_relaxed);
        counter = nextBlockNumber(counter);
        const uint32_t remaining = length - sent;
        const bool last = remaining <= plan.blockSize;
        const uint32_t n = last ? remaining : plan.blockSize;
        const uint16_t number = last ? kLastBlock : counter;
        const bool acknowledged = last || counter == 1 || counter % plan.window == 0;
        p.begin(code, xfer::blockBytes);
        putU16(p.args() + xfer::blockNumber, number);
        putU16(p.args() + xfer::blockCount, static_cast<uint16_t>(n));
        std::memcpy(p.args() + xfer::blockBytes, bytes + sent, n);
        p.setArgumentBytes(xfer::blockBytes + n);
        int32_t r = acknowledged ? lockedTransact(h, p) : lockedSendOnly(h, p);
        if (acknowledged && r == kBlockRefused) {
            // The controller lost a block: continue from where it stands, if
            // it still holds this transfer. Only resumptions that bring no
            // progress count towards the limit, so a long transfer over a
            // lossy link goes on while a block that never arrives ends it.
            ControllerPosition pos{};
            if (!askPosition(h, pos)) return kBlockRefused;
            if (pos.received > resumedAt) resumptions = 0;
            resumedAt = pos.received;
            if (++resumptions > kMaxResumptions) return kBlockRefused;
            if (pos.lastBlock == kLastBlock || pos.code != code || pos.total != length || pos.received > length)
                return kBlockRefused;
            sent = pos.received;
            counter = pos.lastBlock;
            continue;
        }
        if (r != rc::ok) return r;
        sent += n;
    }
    return rc::ok;
}

int32_t downloadBlocks(ControllerHandle& h, uint16_t code, uint16_t attribute, const void* data, uint32_t length,
                       const char* name) {
    if (!data || length == 0) return refuse(rc::badArgument, "data is NULL or length is 0");
    if (name && strnlen(name, kMaxTransferName + 1) > kMaxTransferName)
        return refuse(rc::nameTooLong, "name is longer than 1024 characters");
    ProgressReset progress(h);
    BlockPlan plan;
    const int32_t r = sendStart(h, code, attribute, length, name, plan);
    if (r != rc::ok) return r;
    return sendDownloadBlocks(h, code, plan, static_cast<const uint8_t*>(data), length, ProgressSpan{0, length});
}

int32_t downloadFile(ControllerHandle& h, uint16_t code, const char* localPath, const char* name) {
    if (!localPath) return refuse(rc::badArgument, "localPath is NULL");
    ByteBuffer file;
    const int32_t r = readWholeFile(localPath, &file);
    if (r != rc::ok) return r;
    if (file.size() > UINT32_MAX) return rc::fileLength;
    return downloadBlocks(h, code, 0, file.data(), static_cast<uint32_t>(file.size()), name);
}

}  // namespace tvx
