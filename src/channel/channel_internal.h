// Pieces shared by the channel's transaction, standard-function and
// receive code.
#pragma once

#include "channel/channel.h"

namespace tvx::detail {

// Finishes the frame whose station-relative part (m bytes counting room for
// the CRC) stands at txPdu: MBAP header or CRC, and txLength.
void buildFrame(CommandChannel& ch, uint32_t m);

// Clears a stale reply and the waiting flag before a new frame is built, so
// the receive side never compares a reply with a half-built request.
void disarm(CommandChannel& ch);

// The send-and-wait loop with doubling waits, each capped by the budget.
int32_t sendAndWait(CommandChannel& ch, uint32_t budgetMs);

// Checks the accepted reply at replyPdu against the request at txPdu.
int32_t checkReply(const CommandChannel& ch);

// True when the station-relative frame answers the pending request.
bool answersRequest(const CommandChannel& ch, const uint8_t* frame);

}  // namespace tvx::detail
