#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel_internal.h"

namespace tvx {
namespace {

inline constexpr uint32_t kMaxWriteCoils = 1968;    // 246 coil bytes in one frame
inline constexpr uint32_t kMaxWriteRegisters = 123;  // 2 x count + 9 stays below 256

// Frames a standard-function request whose station-relative bytes (without
// CRC) are already at txPdu, and runs the send-and-wait loop.
int32_t runStandard(CommandChannel& ch, uint32_t pduBytes, uint32_t budgetMs) {
    detail::buildFrame(ch, pduBytes);
    return detail::sendAndWait(ch, budgetMs);
}

// Writes station, function code, start address and count at txPdu.
uint8_t* beginRequest(CommandChannel& ch, uint8_t function, uint16_t start, uint16_t value) {
    resetWait(ch);
    uint8_t* p = ch.txPdu;
    p[0] = ch.stationId;
    p[1] = function;
    putBe16(p + 2, start);
    putBe16(p + 4, value);
    return p;
}

}  // namespace

int32_t readCoils(CommandChannel& ch, uint16_t start, uint16_t count, uint8_t* bitsOut, uint32_t budgetMs) {
    if (count == 0) return rc::ok;
    if (!bitsOut || !ch.ops) return rc::cannotFrame;
    beginRequest(ch, fc::readCoils, start, count);
    int32_t r = runStandard(ch, 6, budgetMs);
    if (r != rc::ok) return r;
    const uint32_t bytes = (static_cast<uint32_t>(count) + 7) / 8;
    const uint8_t* reply = ch.replyPdu;
    if (reply[2] != bytes) {
        resetWait(ch);
        return rc::mismatch;
    }
    for (uint32_t i = 0; i < bytes; ++i) bitsOut[i] = reply[3 + i];
    const uint32_t usedInLast = count % 8;
    if (usedInLast != 0) bitsOut[bytes - 1] &= static_cast<uint8_t>((1u << usedInLast) - 1);
    resetWait(ch);
    return rc::ok;
}

int32_t readHoldingRegisters(CommandChannel& ch, uint16_t start, uint16_t count, uint16_t* wordsOut,
                             uint32_t budgetMs) {
    if (count == 0) return rc::ok;
    if (!wordsOut || !ch.ops) return rc::cannotFrame;
    beginRequest(ch, fc::readHoldingRegisters, start, count);
    int32_t r = runStandard(ch, 6, budgetMs);
    if (r != rc::ok) return r;
    const uint8_t* reply = ch.replyPdu;
    // Only a reply of exactly the requested size is taken: a longer one would
    // write past the caller's array.
    if (reply[2] != 2u * count) {
        resetWait(ch);
        return rc::mismatch;
    }
    for (uint32_t i = 0; i < count; ++i) wordsOut[i] = getBe16(reply + 3 + 2 * i);
    resetWait(ch);
    return rc::ok;
}

int32_t writeCoils(CommandChannel& ch, uint16_t start, uint32_t count, const uint8_t* bits, uint32_t budgetMs) {
    if (count == 0) return rc::ok;
    if (count > kMaxWriteCoils || !bits || !ch.ops) return rc::cannotFrame;
    int32_t r;
    if (count == 1) {
        beginRequest(ch, fc::writeSingleCoil, start, (bits[0] & 1) ? 0xFF00 : 0x0000);
        r = runStandard(ch, 6, budgetMs);
    } else {
        uint8_t* p = beginRequest(ch, fc::writeMultipleCoils, start, static_cast<uint16_t>(count));
        const uint32_t bytes = (count + 7) / 8;
        p[6] = static_cast<uint8_t>(bytes);
        for (uint32_t i = 0; i < bytes; ++i) p[7 + i] = bits[i];
        r = runStandard(ch, 7 + bytes, budgetMs);
    }
    resetWait(ch);
    return r;
}

int32_t writeRegisters(CommandChannel& ch, uint16_t start, uint32_t count, const uint16_t* words,
                       uint32_t budgetMs) {
    if (count == 0) return rc::ok;
    if (count > kMaxWriteRegisters || !words || !ch.ops) return rc::cannotFrame;
    int32_t r;
    if (count == 1) {
        beginRequest(ch, fc::writeSingleRegister, start, words[0]);
        r = runStandard(ch, 6, budgetMs);
    } else {
        uint8_t* p = beginRequest(ch, fc::writeMultipleRegisters, start, static_cast<uint16_t>(count));
        p[6] = static_cast<uint8_t>(2 * count);
        for (uint32_t i = 0; i < count; ++i) putBe16(p + 7 + 2 * i, words[i]);
        r = runStandard(ch, 7 + 2 * count, budgetMs);
    }
    resetWait(ch);
    return r;
}

}  // namespace tvx
