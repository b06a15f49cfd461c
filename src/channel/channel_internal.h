// Pieces shared by the channel's transaction, standard-function and
// receive code.
#pragma once

#include "base/trace.h"
#include "channel/channel.h"

namespace tvx::detail {

// Hands a frame to the protocol trace (only called while one is set).
void traceFrame(const CommandChannel& ch, uint32_t kind, const uint8_t* bytes, uint32_t n);

// Transmits the frame built in txBuffer.
inline int32_t sendFrame(CommandChannel& ch) {
    if (traceActive()) traceFrame(ch, TVX_TRACE_SENT, ch.txBuffer, ch.txLength);
    return ch.ops->send(ch, ch.txBuffer, ch.txLength);
}

// Finishes the frame whose station-relative part (`pduLength` bytes) stands
// at txPdu: MBAP header or CRC, and txLength.
void buildFrame(CommandChannel& ch, uint32_t pduLength);

// The send-and-wait loop: waits by the channel's resend policy, each cut
// to what is left of the budget.
int32_t sendAndWait(CommandChannel& ch, uint32_t budgetMs);

// Matches a received station-relative frame against the request at txPdu.
// The frame answers the request when it carries the request's function, or
// that function's exception reply, and for the library's request packets
// also the same command and sequence; anything else belongs to another
// request and is dropped. For an answer, *result is the transaction's
// result the frame carries: the exception's code, the packet's status, or
// 0 for a standard function.
bool answersRequest(const uint8_t* requestPdu, const uint8_t* replyPdu, int32_t* result);

}  // namespace tvx::detail
