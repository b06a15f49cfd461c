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

// Finishes the frame whose station-relative part (m bytes counting room for
// the CRC) stands at txPdu: MBAP header or CRC, and txLength.
void buildFrame(CommandChannel& ch, uint32_t m);

// The send-and-wait loop: waits by the channel's resend policy, each cut
// to what is left of the budget.
int32_t sendAndWait(CommandChannel& ch, uint32_t budgetMs);

// Checks the accepted reply at replyPdu against the request at txPdu.
int32_t checkReply(const CommandChannel& ch);

// How a station-relative reply frame relates to the request frame.
enum class ReplyMatch : uint8_t { answers, exception, wrongFunction, otherRequest };
ReplyMatch matchReply(const uint8_t* requestPdu, const uint8_t* replyPdu);
// An exception reply answers the request as much as a regular one does.
inline bool isAnswer(ReplyMatch m) { return m == ReplyMatch::answers || m == ReplyMatch::exception; }

}  // namespace tvx::detail
