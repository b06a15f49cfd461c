// The one download engine behind files, firmware sections and RAM parts.
#include <algorithm>
#include <cstring>

#include "api/requests.h"
#include "base/debug_output.h"
#include "base/whole_file.h"
#include "link/link_driver.h"
#include "transfer/block_transfer.h"

namespace tvx {
namespace {

// The transfer state the controller reports (request 148).
struct ControllerPosition {
    uint32_t received;
    uint32_t total;
    uint32_t code;
    uint32_t fileNumber;
    uint16_t lastBlock;
};

bool askPosition(ControllerHandle& h, ControllerPosition& pos) {
    uint8_t state[kTransferStateBytes];
    if (queryTransferState(h, state) != rc::ok) return false;
    pos.received = getU32(state + transfer_state_reply::received);
    pos.total = getU32(state + transfer_state_reply::total);
    pos.code = getU32(state + transfer_state_reply::code);
    pos.fileNumber = getU32(state + transfer_state_reply::fileNumber);
    pos.lastBlock = getU16(state + transfer_state_reply::lastBlock);
    return true;
}

// Whether the controller's position still lies inside this stream's
// transfer, so that sending can go on from it.
bool resumable(const BlockStream& s, const ControllerPosition& pos, uint32_t length) {
    if (pos.lastBlock == kLastBlock || pos.code != s.code || pos.received > length) return false;
    return s.resume == ResumeMatch::sameLength ? pos.total == length : pos.fileNumber == s.fileNumber;
}

// The window a controller's plan asks for, as far as handle and link allow.
uint32_t plannedWindow(const ControllerHandle& h, uint32_t asked, bool oneAtATime) {
    if (asked == 0 || oneAtATime || !h.windowedTransfer) return 1;
    return std::min(asked, kMaxWindow);
}

// A RAM part's plan from its first block's answer: the controller's block
// size up to what a packet carries; an answer without it keeps the plan.
void planFromFirstAnswer(const ControllerHandle& h, const PacketArea& p, BlockPlan& plan) {
    plan.fromFirstAnswer = false;
    if (p.dataLength() < block_plan_reply::bytes) return;
    plan.blockSize = std::min<uint32_t>(getU16(p.data() + block_plan_reply::largestBlock), kLargestRamBlock);
    plan.window = plannedWindow(h, getU16(p.data() + block_plan_reply::window), linkLimits(h).oneBlockWindow);
}

// Writes one block's request into `p`.
void putBlock(PacketArea& p, const BlockStream& s, uint16_t number, const uint8_t* data, uint32_t n) {
    if (s.header == BlockHeader::transfer) {
        p.begin(s.code, download_block_request::bytes);
        putU16(p.args() + download_block_request::number, number);
        putU16(p.args() + download_block_request::count, static_cast<uint16_t>(n));
        std::memcpy(p.args() + download_block_request::bytes, data, n);
        p.setArgumentBytes(download_block_request::bytes + n);
    } else {
        p.begin(s.code, ram_part_request::data);
        putU16(p.args() + ram_part_request::block, number);
        putU16(p.args() + ram_part_request::count, static_cast<uint16_t>(n));
        putU16(p.args() + ram_part_request::fileNumber, s.fileNumber);
        std::memcpy(p.args() + ram_part_request::data, data, n);
        p.setArgumentBytes(ram_part_request::data + n);
    }
}

// Writes a name and its 0 byte at `at`; the bytes written.
uint32_t putName(uint8_t* at, const char* name) {
    const size_t n = name ? std::strlen(name) : 0;
    if (n) std::memcpy(at, name, n);
    at[n] = 0;
    return static_cast<uint32_t>(n + 1);
}

int32_t sendStart(ControllerHandle& h, uint16_t code, uint16_t attribute, uint32_t length, const char* name,
                  BlockPlan& plan) {
    PacketArea p(code, download_start_request::name);
    putU16(p.args() + download_start_request::attribute, attribute);
    putU32(p.args() + download_start_request::length, length);
    p.setArgumentBytes(download_start_request::name + putName(p.args() + download_start_request::name, name));
    const int32_t r = lockedTransact(h, p);
    if (r != rc::ok) return r;
    return planDownload(h, p, true, plan);
}

}  // namespace

int32_t planDownload(const ControllerHandle& h, const PacketArea& startReply, bool oneBlockOnSerial, BlockPlan& plan) {
    const LinkLimits limits = linkLimits(h);
    plan.blockSize = limits.blockBytes;
    plan.window = 1;
    plan.fromFirstAnswer = false;
    if (startReply.dataLength() >= block_plan_reply::bytes) {
        const uint32_t largest = getU16(startReply.data() + block_plan_reply::largestBlock);
        plan.blockSize = std::min(plan.blockSize, largest) & ~31u;
        plan.window = plannedWindow(h, getU16(startReply.data() + block_plan_reply::window),
                                    limits.oneBlockWindow && oneBlockOnSerial);
    }
    // A controller that accepts less than 32 bytes a block cannot be served.
    if (plan.blockSize == 0) return rc::replyLength;
    return rc::ok;
}

BlockPlan ramPartPlan(const ControllerHandle& h) { return BlockPlan{linkLimits(h).blockBytes, 1, true}; }

namespace {

// Puts a block no answer is waited for into the batch, sending the batch
// once it is full.
int32_t queueBlock(ControllerHandle& h, PacketArea& p, FrameBatch& batch) {
    return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t) {
        const int32_t r = addToBatch(ch, p.request, batch);
        return r == rc::ok && batch.full() ? sendBatch(ch, batch) : r;
    });
}

// Sends the blocks gathered so far: before any request whose answer is
// waited for, so that the blocks go out in order.
int32_t flushBlocks(ControllerHandle& h, FrameBatch& batch) {
    if (batch.count == 0) return rc::ok;
    return lockedChannelCall(h, [&](CommandChannel& ch, uint32_t) { return sendBatch(ch, batch); });
}

}  // namespace

int32_t sendBlocks(ControllerHandle& h, const BlockStream& stream, BlockPlan plan, const uint8_t* bytes,
                   uint32_t length, ProgressSpan span, uint32_t* answer) {
    PacketArea p;
    // The blocks of a window that are not answered go out together; a
    // transfer that ends early simply never sends what was gathered.
    FrameBatch batch;
    uint32_t sent = 0;
    uint16_t counter = 0;
    uint32_t value = 0;
    int resumptions = 0;
    uint32_t resumedAt = 0;
    while (sent < length) {
        h.progress.store(progressFraction(span.before + sent, span.total), std::memory_order_relaxed);
        const uint16_t previous = counter;
        counter = nextBlockNumber(counter);
        const uint32_t remaining = length - sent;
        const bool last = remaining <= plan.blockSize;
        const uint32_t n = last ? remaining : plan.blockSize;
        const uint16_t number = last && stream.header == BlockHeader::transfer ? kLastBlock : counter;
        const uint16_t windowMark = stream.acknowledgement == Acknowledgement::onWindowEnd ? counter : previous;
        const bool acknowledged =
            plan.fromFirstAnswer || last || windowMark == 1 || windowMark % plan.window == 0;
        putBlock(p, stream, number, bytes + sent, n);
        int32_t r = rc::ok;
        if (!acknowledged)
            r = queueBlock(h, p, batch);
        else if ((r = flushBlocks(h, batch)) == rc::ok)
            r = lockedTransact(h, p);
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
            if (!resumable(stream, pos, length)) return kBlockRefused;
            sent = pos.received;
            counter = pos.lastBlock;
            continue;
        }
        if (r != rc::ok) return r;
        if (acknowledged && stream.header == BlockHeader::ramPart) value = getU32(p.data() + ram_part_reply::value);
        if (plan.fromFirstAnswer) planFromFirstAnswer(h, p, plan);
        sent += n;
        // Empty blocks would make no progress: nothing more is sent.
        if (plan.blockSize == 0 && sent < length) return rc::replyLength;
    }
    if (answer) *answer = value;
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
    return sendBlocks(h, transferStream(code), plan, static_cast<const uint8_t*>(data), length,
                      ProgressSpan{0, length});
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
