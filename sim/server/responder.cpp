#include "server/responder.h"

#include <algorithm>
#include <cstdio>

#include "base/bytes.h"
#include "channel/channel.h"
#include "engine/framing.h"

namespace tvx::sim {
namespace {

// Signed distance between two wrapping millisecond ticks.
int32_t ticksUntil(uint32_t dueMs, uint32_t nowMs) { return static_cast<int32_t>(dueMs - nowMs); }

}  // namespace

bool isLocalDestination(uint32_t ip) { return (ip >> 24) == 127 || ip == 0; }

std::string traceLine(std::string_view what, Peer peer, const uint8_t* bytes, size_t n) {
    char head[64];
    std::snprintf(head, sizeof head, "%-12.*s %u.%u.%u.%u:%u (%zu)", static_cast<int>(what.size()), what.data(),
                  peer.ip >> 24, (peer.ip >> 16) & 0xFF, (peer.ip >> 8) & 0xFF, peer.ip & 0xFF, peer.port, n);
    std::string line = head;
    line.reserve(line.size() + 3 * n);
    static const char* digits = "0123456789abcdef";
    for (size_t i = 0; i < n; ++i) {
        line += ' ';
        line += digits[bytes[i] >> 4];
        line += digits[bytes[i] & 15];
    }
    return line;
}

Responder::Responder(Controller& controller, const FaultPlan& plan, std::string probeAnswer, TraceSink trace)
    : controller_(controller), faults_(plan), probeAnswer_(std::move(probeAnswer)), trace_(std::move(trace)) {}

void Responder::trace(std::string_view what, Peer peer, const uint8_t* bytes, size_t n) {
    if (trace_) trace_(traceLine(what, peer, bytes, n));
}

void Responder::receive(const uint8_t* bytes, size_t n, Peer from, uint32_t nowMs) {
    ++stats_.received;
    trace("rx", from, bytes, n);
    if (faults_.plan().silent) return;

    const uint8_t* pdu = nullptr;
    size_t pduLength = 0;
    if (!unwrapFrame(Framing::tcp, bytes, n, &pdu, &pduLength)) {
        // Not a frame: a discovery probe ("Get IPAddr"). Whatever it says, the
        // answer is our address; the host looks only at who sent it. The
        // reply faults are for frames: an open sends one probe only.
        if (faults_.dropProbe()) {
            ++stats_.droppedProbes;
            trace("drop-probe", from, bytes, 0);
            return;
        }
        ++stats_.probes;
        if (!isLocalDestination(from.ip)) {
            ++stats_.refused;
            return;
        }
        queue(from, reinterpret_cast<const uint8_t*>(probeAnswer_.data()), probeAnswer_.size(), nowMs, "tx");
        return;
    }
    if (faults_.dropRequest()) {
        ++stats_.droppedRequests;
        trace("drop-request", from, bytes, 0);
        return;
    }
    ++stats_.frames;
    const BlockOf block = blockOf(pdu, pduLength);
    if (block.valid) dropSupersededAnswer(from, block);
    uint8_t reply[kFrameCapacity];
    const uint64_t origin = (uint64_t{from.ip} << 16) | from.port;
    const size_t length = controller_.handleFrame(Framing::tcp, bytes, n, reply, sizeof reply, origin);
    if (length == 0) {
        ++stats_.unanswered;
        return;
    }
    const size_t queuedBefore = pending_.size();
    answer(reply, length, from, nowMs);
    // Only a plain answer, the last one queued, can be superseded: with
    // faults that delay, repeat or change replies every answer goes out as
    // the plan decides.
    unsentBlock_.valid = block.valid && faults_.dropsOnly() && pending_.size() == queuedBefore + 1 &&
                         controller_.isDownloadBlock(block.command, block.number);
    if (unsentBlock_.valid) unsentBlock_ = {true, from, block.command, block.number};
}

Responder::BlockOf Responder::blockOf(const uint8_t* pdu, size_t pduLength) {
    // Station, function 72, then the packet: length, command, sequence and
    // the arguments, the block number first.
    constexpr size_t kPacket = 2;
    if (pduLength < kPacket + packet::argumentsOffset + 2 || pdu[1] != fc::request) return {};
    const uint8_t* p = pdu + kPacket;
    return {true, getU16(p + packet::commandOffset), getU16(p + packet::argumentsOffset)};
}

void Responder::dropSupersededAnswer(Peer from, const BlockOf& block) {
    if (!unsentBlock_.valid || pending_.empty()) return;
    const UnsentBlockAnswer& last = unsentBlock_;
    if (last.peer.ip != from.ip || last.peer.port != from.port || last.command != block.command) return;
    // The next block: one more, 1 after the counter wrapped past 65534, or
    // the last block of the download.
    const bool next = block.number == last.number + 1 || (last.number == 65534 && block.number == 1) ||
                      block.number == 0xFFFF;
    if (!next || last.number == 0xFFFF) return;
    ++stats_.superseded;
    trace("drop-superseded", from, pending_.back().datagram.bytes.data(), 0);
    spareBytes_.push_back(std::move(pending_.back().datagram.bytes));
    pending_.pop_back();
    unsentBlock_.valid = false;
}

void Responder::answer(const uint8_t* reply, size_t n, Peer to, uint32_t nowMs) {
    if (!isLocalDestination(to.ip)) {
        ++stats_.refused;
        trace("refuse", to, reply, 0);
        return;
    }
    const ReplyFate fate = faults_.replyFate();
    const uint32_t due = nowMs + fate.delayMs;
    if (fate.noise) {
        uint8_t noise[kFrameCapacity];
        const size_t length = faults_.makeNoise(reply, n, noise, sizeof noise);
        ++stats_.noise;
        queue(to, noise, length, due, "noise");
    }
    if (fate.drop) {
        ++stats_.droppedReplies;
        trace("drop-reply", to, reply, n);
        releaseHeld(due);
        return;
    }
    if (!fate.corrupt && !fate.hold && !fate.duplicate) {
        // The common case: the reply goes out as it is, with one copy.
        queue(to, reply, n, due, "tx");
        releaseHeld(due);
        return;
    }
    std::vector<uint8_t> out(reply, reply + n);
    if (fate.corrupt && n > 0) {
        out[fate.corruptAt % n] ^= fate.corruptMask;
        ++stats_.corrupted;
        trace("corrupt", to, out.data(), n);
    }
    if (fate.hold && !holding_) {
        ++stats_.reordered;
        holding_ = true;
        heldSinceMs_ = due;
        held_.to = to;
        held_.bytes = std::move(out);
        trace("hold", to, held_.bytes.data(), held_.bytes.size());
        if (fate.duplicate) {
            ++stats_.duplicated;
            queue(to, held_.bytes.data(), held_.bytes.size(), due, "tx-dup");
        }
        return;
    }
    queue(to, out.data(), out.size(), due, "tx");
    if (fate.duplicate) {
        ++stats_.duplicated;
        queue(to, out.data(), out.size(), due, "tx-dup");
    }
    releaseHeld(due);
}

void Responder::queue(Peer to, const uint8_t* bytes, size_t n, uint32_t dueMs, const char* note) {
    // Anything queued after a block's answer leaves it no longer the last.
    unsentBlock_.valid = false;
    Pending p{dueMs, Datagram{to, {}}};
    if (!spareBytes_.empty()) {
        p.datagram.bytes = std::move(spareBytes_.back());
        spareBytes_.pop_back();
    }
    p.datagram.bytes.assign(bytes, bytes + n);
    trace(note, to, bytes, n);
    pending_.push_back(std::move(p));
}

void Responder::recycle(std::vector<Datagram>& sent) {
    // A window's replies at most: more would only hold memory a burst once needed.
    constexpr size_t kMostSpare = 256;
    for (Datagram& d : sent) {
        if (spareBytes_.size() >= kMostSpare) break;
        spareBytes_.push_back(std::move(d.bytes));
    }
    sent.clear();
}

void Responder::releaseHeld(uint32_t dueMs) {
    if (!holding_) return;
    holding_ = false;
    queue(held_.to, held_.bytes.data(), held_.bytes.size(), dueMs, "tx-late");
}

void Responder::takeDue(uint32_t nowMs, std::vector<Datagram>& out) {
    // What goes out now was evidently not superseded in time.
    unsentBlock_.valid = false;
    // Packets the controller pushes on its own (cycle blocks, program
    // output) go out as they fall due, past the reply faults.
    pushes_.clear();
    controller_.takePushes(Framing::tcp, nowMs, pushes_);
    for (Controller::PushedFrame& f : pushes_) {
        const Peer to{static_cast<uint32_t>(f.origin >> 16), static_cast<uint16_t>(f.origin & 0xFFFF)};
        if (!isLocalDestination(to.ip) || to.port == 0) {
            ++stats_.refused;
            continue;
        }
        ++stats_.pushed;
        queue(to, f.bytes.data(), f.bytes.size(), nowMs, "push");
    }
    if (holding_ && ticksUntil(heldSinceMs_ + kMaxHoldMs, nowMs) <= 0) releaseHeld(nowMs);
    // pending_ is in queue order; the partition keeps that order.
    auto due = std::stable_partition(pending_.begin(), pending_.end(),
                                     [&](const Pending& p) { return ticksUntil(p.dueMs, nowMs) <= 0; });
    for (auto it = pending_.begin(); it != due; ++it) out.push_back(std::move(it->datagram));
    pending_.erase(pending_.begin(), due);
}

uint32_t Responder::msUntilDue(uint32_t nowMs, uint32_t idleMs) const {
    int64_t best = controller_.msUntilPush(nowMs, idleMs);
    for (const Pending& p : pending_) best = std::min<int64_t>(best, std::max<int32_t>(0, ticksUntil(p.dueMs, nowMs)));
    if (holding_) best = std::min<int64_t>(best, std::max<int32_t>(0, ticksUntil(heldSinceMs_ + kMaxHoldMs, nowMs)));
    return static_cast<uint32_t>(best);
}

}  // namespace tvx::sim
