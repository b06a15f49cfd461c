#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel_internal.h"
#include "channel/crc16.h"

namespace tvx::detail {

void buildFrame(CommandChannel& ch, uint32_t pduLength) {
    if (ch.framing == Framing::tcp) {
        uint8_t* h = ch.txBuffer;
        h[0] = h[1] = h[2] = h[3] = 0;  // transaction and protocol identifiers
        putBe16(h + 4, static_cast<uint16_t>(pduLength));
    } else {
        appendCrc16(ch.txPdu, pduLength);
    }
    const FramingLengths l = framingLengths(ch.framing);
    ch.txLength = l.header + pduLength + l.trailer;
}

void traceFrame(const CommandChannel& ch, uint32_t kind, const uint8_t* bytes, uint32_t n) {
    TVX_TraceEvent event{};
    event.kind = kind;
    event.linkKind = ch.linkKind;
    event.handle = static_cast<TVX_HANDLE>(const_cast<void*>(ch.trace.handle));
    event.bytes = bytes;
    event.length = n;
    event.localIp = ch.trace.localIp;
    event.remoteIp = ch.trace.remoteIp;
    event.localPort = ch.trace.localPort;
    event.remotePort = ch.trace.remotePort;
    event.port = ch.trace.port;
    emitTrace(event);
}

bool answersRequest(const uint8_t* requestPdu, const uint8_t* replyPdu, int32_t* result) {
    const uint8_t want = requestPdu[1];
    const uint8_t got = replyPdu[1];
    if (got == static_cast<uint8_t>(want + fc::exceptionFlag)) {
        *result = rc::exceptionBase + replyPdu[2];
        return true;
    }
    if (got != want) return false;
    if (want != fc::request) {
        *result = rc::ok;
        return true;
    }
    const uint8_t* req = requestPdu + 2;
    const uint8_t* rep = replyPdu + 2;
    if (getU16(req + packet::commandOffset) != getU16(rep + packet::commandOffset) ||
        getU16(req + packet::sequenceOffset) != getU16(rep + packet::sequenceOffset))
        return false;
    *result = getI32(rep + packet::statusOffset);
    return true;
}

}  // namespace tvx::detail
