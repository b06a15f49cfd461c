// The command channel: frames request packets for the link (RTU framing with
// CRC-16 or the MBAP header), assembles received bytes into frames, matches
// the reply to the pending request and reports the transaction's result.
//
// The channel knows nothing of sockets, serial ports or drivers: the owning
// handle installs a table of link operations, and the link's receive path
// feeds received bytes through feedBytes(). The channel is used by one
// requesting thread at a time (the handle's transaction lock) and one
// receiving thread; the two meet only in the reply hand-over below.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "channel/resend_policy.h"
#include "platform/platform.h"

namespace tvx {

struct CommandChannel;

// Modbus function codes.
namespace fc {
inline constexpr uint8_t readCoils = 1;
inline constexpr uint8_t readDiscreteInputs = 2;
inline constexpr uint8_t readHoldingRegisters = 3;
inline constexpr uint8_t readInputRegisters = 4;
inline constexpr uint8_t writeSingleCoil = 5;
inline constexpr uint8_t writeSingleRegister = 6;
inline constexpr uint8_t writeMultipleCoils = 15;
inline constexpr uint8_t writeMultipleRegisters = 16;
inline constexpr uint8_t request = 72;      // the library's request packets
inline constexpr uint8_t unsolicited = 73;  // the controller's pushed packets
inline constexpr uint8_t exceptionFlag = 0x80;
}  // namespace fc

enum class Framing : uint8_t { rtu = 1, tcp = 2 };

// Packet layout shared by requests and replies.
namespace packet {
inline constexpr size_t lengthOffset = 0;
inline constexpr size_t commandOffset = 2;
inline constexpr size_t sequenceOffset = 4;
inline constexpr size_t argumentsOffset = 6;
inline constexpr size_t statusOffset = 6;
inline constexpr size_t dataOffset = 10;
inline constexpr size_t headerLength = 6;
inline constexpr size_t replyHeaderLength = 10;
// Request and reply areas: the largest packet plus room to spare, so that a
// request built up to the largest packet never writes past its area.
inline constexpr size_t areaSize = 2048 + 2;
inline constexpr size_t largestPacket = 2044;
// A reply shorter than this is padded with zeros up to it in the caller's
// area, so that fields read at fixed offsets of a short reply are 0, never
// stale bytes. Every fixed reply field lies within it.
inline constexpr size_t paddedReplyBytes = 256;
}  // namespace packet

inline constexpr size_t kBufferSize = 2048;
inline constexpr uint8_t kBroadcastStation = 254;
inline constexpr uint32_t kIdleExpiryMs = 1999;

// The seam between protocol and transport: one table per link kind, as a
// backend struct of function pointers. What is the same for every link (the
// reply event, the activity time and idle expiry) is the channel's own.
struct LinkOps {
    // Transmits one whole frame; 0 on success. Never waits for a reply.
    int32_t (*send)(CommandChannel& ch, const uint8_t* bytes, uint32_t n);
    // Returns when a reply was accepted or `ms` passed (0), or a link
    // failure code. Null: the channel waits on its reply event
    // (awaitReplyEvent), which suits a link whose receive path runs on a
    // thread of its own.
    int32_t (*waitReply)(CommandChannel& ch, uint32_t ms);
    // Receives the packet of a function-73 frame; `available` is the count
    // of packet bytes actually received (at least the packet's length).
    void (*unsolicited)(CommandChannel& ch, const uint8_t* packet, uint32_t available);  // may be null
    // Transmits `count` whole frames in order (frame i at frames + i *
    // stride, lengths[i] bytes), in as few system calls as the link can; 0
    // when all went out. Null: each goes through send.
    int32_t (*sendMany)(CommandChannel& ch, const uint8_t* frames, uint32_t stride, const uint32_t* lengths,
                        int count);
};

// What the protocol trace tells about the channel's link; the link fills it
// in when it connects.
struct TraceTag {
    const void* handle = nullptr;  // the handle as callers hold it
    const char* port = nullptr;    // the address text
    uint32_t localIp = 0;
    uint32_t remoteIp = 0;
    uint16_t localPort = 0;
    uint16_t remotePort = 0;
};

struct CommandChannel {
    Framing framing = Framing::rtu;
    uint8_t stationId = kBroadcastStation;
    uint8_t linkKind = 0;
    uint32_t bufferCapacity = 0;
    uint8_t* txBuffer = nullptr;
    uint8_t* replyBuffer = nullptr;
    uint8_t* rxBuffer = nullptr;
    uint32_t txLength = 0;
    uint8_t* txPdu = nullptr;
    uint8_t* replyPdu = nullptr;
    uint8_t* rxPdu = nullptr;
    uint32_t rxPos = 0;
    uint32_t rxExpected = 0;
    uint32_t attempts = 1;
    uint32_t baseWaitMs = 0;
    // When to resend, and the round trips measured so far (changed only by
    // the thread that transacts).
    ResendEstimator resend;
    const LinkOps* ops = nullptr;
    void* owner = nullptr;
    TraceTag trace;
    // The exchange in progress: its start (tickMs) and budget. A link whose
    // sends or waits can take long measures them against it, so the budget
    // bounds the whole exchange however its bytes arrive.
    uint32_t exchangeStartMs = 0;
    uint32_t exchangeBudgetMs = 0;
    std::atomic<uint8_t> waiting{0};
    std::atomic<uint8_t> replyReady{0};
    // The result the accepted reply carries (exception, status or 0), set
    // with replyReady.
    int32_t replyResult = 0;
    // Guards the reply hand-over: the receive side compares, copies and sets
    // replyReady under it; the requesting side clears and re-arms under it.
    std::mutex handover;
    // Set when a reply is accepted (or a link wakes its waiter); reset when
    // a request is sent. Created by initChannel.
    platform::Event replyEvent;
    // When bytes last arrived while a frame was unfinished (tickMs): bytes
    // that follow a pause longer than kIdleExpiryMs start a new frame.
    std::atomic<uint32_t> lastActivityMs{0};
};

// ---- set-up -----------------------------------------------------------

int32_t initChannel(CommandChannel& ch, Framing framing, uint32_t capacity, uint8_t* txBuffer,
                    uint8_t* replyBuffer, uint8_t* rxBuffer);
int32_t initChannel(CommandChannel& ch, uint8_t framing, uint32_t capacity, uint8_t* txBuffer,
                    uint8_t* replyBuffer, uint8_t* rxBuffer);
int32_t setStationId(CommandChannel& ch, uint8_t id);

// ---- transactions -------------------------------------------------------

// Sends `request` (a packet starting with its length) and waits for the
// matching reply, resending the identical frame with doubling waits. On
// success the reply packet (its own length bytes) is copied to replyOut,
// padded with zeros up to packet::paddedReplyBytes; replyOut holds
// packet::areaSize bytes.
int32_t transact(CommandChannel& ch, uint8_t* request, uint8_t* replyOut, uint32_t budgetMs);
// Frames `request`, sends it once and returns the send result.
int32_t sendOnly(CommandChannel& ch, uint8_t* request);

// Requests sent without waiting for replies, gathered so that the link can
// send them together (the blocks of a download window). It lives on the
// sender's stack; nothing in it has gone out before sendBatch.
struct FrameBatch {
    static constexpr int capacity = 16;
    uint8_t frames[capacity][kBufferSize];
    uint32_t lengths[capacity] = {};
    int count = 0;
    bool full() const { return count == capacity; }
};
// Frames `request` with the next sequence number into the batch (3401 when
// it is full or the request does not frame).
int32_t addToBatch(CommandChannel& ch, uint8_t* request, FrameBatch& batch);
// Sends the batch's frames in order, as sendOnly would each, and empties
// it; the first failure.
int32_t sendBatch(CommandChannel& ch, FrameBatch& batch);
void resetWait(CommandChannel& ch);

// Standard Modbus functions (values in host order; bits least significant
// first). A count of 0 returns 0 without traffic. The reads write the
// caller's array only from a reply that carries exactly the requested bits
// or registers (anything else is 3403), so a register read never writes
// more than the 127 words one reply can carry.
int32_t readCoils(CommandChannel& ch, uint16_t start, uint16_t count, uint8_t* bitsOut,
                  uint32_t budgetMs);
int32_t readHoldingRegisters(CommandChannel& ch, uint16_t start, uint16_t count, uint16_t* wordsOut,
                             uint32_t budgetMs);
int32_t writeCoils(CommandChannel& ch, uint16_t start, uint32_t count, const uint8_t* bits,
                   uint32_t budgetMs);
int32_t writeRegisters(CommandChannel& ch, uint16_t start, uint32_t count, const uint16_t* words,
                       uint32_t budgetMs);

// ---- waiting for the reply --------------------------------------------------

// Waits up to `ms` (on the active clock) for the reply event; 0.
int32_t awaitReplyEvent(CommandChannel& ch, uint32_t ms);
// Wakes the requesting thread's wait without a reply, for a link that
// failed or stopped receiving; the wait then re-checks its link.
void wakeReplyWaiter(CommandChannel& ch);

// ---- reception ------------------------------------------------------------

// Feeds a chunk of received bytes (the link's receive path, one thread at a
// time). Returns 0, or the processing result of a frame the chunk completed.
int32_t feedBytes(CommandChannel& ch, const uint8_t* bytes, uint32_t n);
// True when the frame a datagram carries is a packet the controller pushed
// (function 73) rather than an answer.
bool carriesPushedPacket(const CommandChannel& ch, const uint8_t* bytes, uint32_t n);
// Returns the assembly to hunting for a frame start (datagram links call it
// before every datagram).
void restartAssembly(CommandChannel& ch);

// ---- the process-wide sequence counter -----------------------------------

uint16_t nextSequence();
void setSequenceForTests(uint16_t value);

// What a framing puts around the station-relative bytes (station, function
// and data): the MBAP header before them (TCP) or the CRC-16 after them (RTU).
struct FramingLengths {
    uint32_t header;
    uint32_t trailer;
};
inline constexpr FramingLengths kRtuLengths{0, 2};
inline constexpr FramingLengths kTcpLengths{6, 0};
inline constexpr FramingLengths framingLengths(Framing f) { return f == Framing::tcp ? kTcpLengths : kRtuLengths; }

// Size of the framing around a packet: header, station, function, trailer.
inline constexpr uint32_t framingOverhead(Framing f) {
    return framingLengths(f).header + 2u + framingLengths(f).trailer;
}
inline constexpr uint32_t headerBytes(Framing f) { return framingLengths(f).header; }

}  // namespace tvx
