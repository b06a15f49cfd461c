#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel_internal.h"
#include "channel/crc16.h"
#include "platform/clock.h"

namespace tvx {
namespace {

bool stationAccepted(const CommandChannel& ch, uint8_t station) {
    return station == ch.stationId || station == kBroadcastStation;
}

int32_t dropFrame(CommandChannel& ch, int32_t code) {
    restartAssembly(ch);
    return code;
}

// Handles a complete frame at rxBuffer[0..rxPos) and restarts the assembly.
int32_t processFrame(CommandChannel& ch) {
    const FramingLengths l = framingLengths(ch.framing);
    const uint8_t* frame = ch.rxPdu;
    const uint32_t frameLength = ch.rxPos - l.header;
    if (traceActive()) detail::traceFrame(ch, TVX_TRACE_RECEIVED, ch.rxBuffer, ch.rxPos);
    restartAssembly(ch);

    if (!stationAccepted(ch, frame[0])) return rc::ok;
    if (ch.framing == Framing::rtu && !crc16Matches(frame, frameLength)) return rc::badFrame;

    if (frame[1] == fc::unsolicited) {
        if (ch.ops && ch.ops->unsolicited) ch.ops->unsolicited(ch, frame + 2, frameLength - 2 - l.trailer);
        return rc::ok;
    }

    bool accepted = false;
    {
        std::lock_guard<std::mutex> lock(ch.handover);
        int32_t result = rc::ok;
        if (ch.waiting.load(std::memory_order_relaxed) && !ch.replyReady.load(std::memory_order_relaxed) &&
            detail::answersRequest(ch.txPdu, frame, &result)) {
            std::memcpy(ch.replyPdu, frame, frameLength);
            ch.replyResult = result;
            ch.replyReady.store(1, std::memory_order_relaxed);
            ch.waiting.store(0, std::memory_order_relaxed);
            accepted = true;
        }
    }
    if (accepted) ch.replyEvent.set();
    return rc::ok;
}

// Expected total frame length (from the buffer start) once the function
// code is known, or 0 when the frame's own header must tell.
uint32_t lengthForFunction(Framing f, uint8_t code) {
    const FramingLengths l = framingLengths(f);
    switch (code) {
        case fc::writeSingleCoil:
        case fc::writeSingleRegister:
        case fc::writeMultipleCoils:
        case fc::writeMultipleRegisters:
            return l.header + 6u + l.trailer;  // station, function, address, value or count
        default:
            // station, function, exception code
            return code > fc::exceptionFlag ? l.header + 3u + l.trailer : 0u;
    }
}

bool knownFunction(uint8_t code) {
    switch (code) {
        case fc::readCoils:
        case fc::readDiscreteInputs:
        case fc::readHoldingRegisters:
        case fc::readInputRegisters:
        case fc::request:
        case fc::unsolicited:
        case fc::writeSingleCoil:
        case fc::writeSingleRegister:
        case fc::writeMultipleCoils:
        case fc::writeMultipleRegisters:
            return true;
        default:
            return code > fc::exceptionFlag;
    }
}

// One byte through the state machine while the frame length is unknown.
int32_t feedOneByte(CommandChannel& ch, uint8_t b) {
    const FramingLengths l = framingLengths(ch.framing);
    const uint32_t hdr = l.header;
    if (ch.rxPos < hdr) {  // MBAP header
        ch.rxBuffer[ch.rxPos++] = b;
        ch.rxExpected = 0;
        return rc::ok;
    }
    const uint32_t pos = ch.rxPos - hdr;
    if (pos == 0) {
        if (!stationAccepted(ch, b)) return rc::badFrame;  // hunt on at the next byte
        ch.rxBuffer[ch.rxPos++] = b;
        return rc::ok;
    }
    if (pos == 1) {
        if (!knownFunction(b)) return dropFrame(ch, rc::ok);
        ch.rxBuffer[ch.rxPos++] = b;
        ch.rxExpected = lengthForFunction(ch.framing, b);
        return rc::ok;
    }
    ch.rxBuffer[ch.rxPos++] = b;
    if (ch.rxExpected == 0) {
        const uint8_t code = ch.rxPdu[1];
        if (code >= fc::readCoils && code <= fc::readInputRegisters && pos == 2) {
            ch.rxExpected = hdr + 3u + b + l.trailer;  // station, function, byte count, data
        } else if ((code == fc::request || code == fc::unsolicited) && pos == 3) {
            const uint32_t length = getU16(ch.rxPdu + 2);
            // A packet shorter than a reply header cannot carry a status; its
            // length would make every later length computation negative.
            if (length < packet::replyHeaderLength) return dropFrame(ch, rc::mismatch);
            ch.rxExpected = hdr + 2u + length + l.trailer;
            if (ch.rxExpected > ch.bufferCapacity) return dropFrame(ch, rc::mismatch);
        }
        if (ch.rxExpected == 0) return rc::ok;
    }
    if (ch.rxPos == ch.rxExpected) return processFrame(ch);
    if (ch.rxExpected < ch.rxPos) return dropFrame(ch, rc::frameTooLong);
    return rc::ok;
}

}  // namespace

bool carriesPushedPacket(const CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    const uint32_t functionAt = framingLengths(ch.framing).header + 1;
    return n > functionAt && bytes[functionAt] == fc::unsolicited;
}

int32_t feedBytes(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    // Bytes after a long pause cannot continue a frame: they start one. Only
    // a frame left unfinished needs the time, so a link that delivers whole
    // frames (a datagram each) reads no clock here.
    const bool continuing = ch.rxPos != 0;
    const uint32_t now = continuing ? tickMs() : 0;
    if (continuing && static_cast<uint32_t>(now - ch.lastActivityMs.load(std::memory_order_relaxed)) > kIdleExpiryMs)
        restartAssembly(ch);
    int32_t result = rc::ok;
    uint32_t i = 0;
    while (i < n) {
        if (ch.rxExpected != 0 && ch.rxPos < ch.rxExpected) {
            // Length known: copy the rest of the frame in one block.
            const uint32_t take = std::min(n - i, ch.rxExpected - ch.rxPos);
            std::memcpy(ch.rxBuffer + ch.rxPos, bytes + i, take);
            ch.rxPos += take;
            i += take;
            if (ch.rxPos == ch.rxExpected) result = processFrame(ch);
            continue;
        }
        feedOneByte(ch, bytes[i]);
        ++i;
    }
    if (ch.rxPos != 0) ch.lastActivityMs.store(continuing ? now : tickMs(), std::memory_order_relaxed);
    return result;
}

}  // namespace tvx
