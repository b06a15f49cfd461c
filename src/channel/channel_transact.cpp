#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "base/result_codes.h"
#include "channel/channel_internal.h"
#include "platform/clock.h"

namespace tvx {
namespace detail {
namespace {

// Opens the wait for the reply to the request about to be sent; a wake-up
// left over from an earlier exchange is cleared first.
void arm(CommandChannel& ch) {
    ch.replyEvent.reset();
    std::lock_guard<std::mutex> lock(ch.handover);
    ch.waiting.store(1, std::memory_order_relaxed);
}

// Ends the wait and reports whether the receive side accepted a reply, and
// the result that reply carries.
bool endWait(CommandChannel& ch, int32_t* result) {
    std::lock_guard<std::mutex> lock(ch.handover);
    ch.waiting.store(0, std::memory_order_relaxed);
    *result = ch.replyResult;
    return ch.replyReady.load(std::memory_order_relaxed) != 0;
}

// `answered` tells whether a reply to the request arrived (a regular or an
// exception reply, or one with a failure status), whatever the result.
int32_t awaitReply(CommandChannel& ch, uint32_t ms, bool& answered) {
    answered = false;
    int32_t r = ch.ops->waitReply ? ch.ops->waitReply(ch, ms) : awaitReplyEvent(ch, ms);
    if (r != rc::ok) {
        resetWait(ch);
        return r;
    }
    // The receive side accepted only a reply that answers this request: one
    // of another request was dropped there and this attempt is unanswered.
    if (!endWait(ch, &r)) {
        resetWait(ch);
        return rc::noReply;
    }
    answered = true;
    if (r != rc::ok) resetWait(ch);
    return r;
}

}  // namespace

int32_t sendAndWait(CommandChannel& ch, uint32_t budgetMs) {
    ch.exchangeStartMs = tickMs();
    ch.exchangeBudgetMs = budgetMs;
    uint64_t waited = 0;
    uint64_t firstSentUs = 0;
    // Only the adaptive policy reads the clock for round trips, so the
    // default path costs what it did.
    const bool measure = ch.resend.policy == ResendPolicy::adaptive;
    for (uint32_t attempt = 0;; ++attempt) {
        // The last wait is cut to what is left, so the waits together never
        // exceed the budget.
        const uint32_t waitMs = static_cast<uint32_t>(
            std::min<uint64_t>(resendWaitMs(ch.resend, ch.baseWaitMs, attempt), budgetMs - waited));
        arm(ch);
        if (measure && attempt == 0) firstSentUs = tickMicros();
        int32_t r = detail::sendFrame(ch);
        if (r != rc::ok) {
            resetWait(ch);
            return r;
        }
        bool answered = false;
        r = awaitReply(ch, waitMs, answered);
        // Only a request answered without a resend gives a round trip.
        if (measure && answered && attempt == 0) {
            const uint64_t nowUs = tickMicros();
            if (nowUs >= firstSentUs) addRoundTrip(ch.resend, nowUs - firstSentUs);  // a clock set back gives none
        }
        if (r != rc::noReply) return r;
        waited += waitMs;
        if (waited >= budgetMs) return rc::noReply;
        if (attempt + 1 >= ch.attempts) return rc::noReply;
    }
}

}  // namespace detail

namespace {

// Puts the request packet into the frame with the next sequence number.
int32_t buildRequestFrame(CommandChannel& ch, uint8_t* request) {
    if (!request || !ch.ops) return rc::cannotFrame;
    const uint32_t pduLength = static_cast<uint32_t>(getU16(request)) + 2;  // station, function, packet
    const FramingLengths l = framingLengths(ch.framing);
    if (l.header + pduLength + l.trailer > ch.bufferCapacity || getU16(request) < packet::headerLength)
        return rc::cannotFrame;
    uint8_t* pdu = ch.txPdu;
    pdu[0] = ch.stationId;
    pdu[1] = fc::request;
    std::memcpy(pdu + 2, request, getU16(request));
    putU16(pdu + 2 + packet::sequenceOffset, nextSequence());
    detail::buildFrame(ch, pduLength);
    return rc::ok;
}

// Opens an exchange that waits for no reply: bounded by the link's base wait.
void startSendOnly(CommandChannel& ch) {
    ch.exchangeStartMs = tickMs();
    ch.exchangeBudgetMs = ch.baseWaitMs;
    resetWait(ch);
}

}  // namespace

int32_t transact(CommandChannel& ch, uint8_t* request, uint8_t* replyOut, uint32_t budgetMs) {
    if (!replyOut) return rc::cannotFrame;
    resetWait(ch);
    int32_t r = buildRequestFrame(ch, request);
    if (r != rc::ok) return r;
    r = detail::sendAndWait(ch, budgetMs);
    if (r != rc::ok) return r;
    const uint8_t* reply = ch.replyPdu + 2;
    const size_t n = getU16(reply);
    std::memcpy(replyOut, reply, n);
    if (n < packet::paddedReplyBytes) std::memset(replyOut + n, 0, packet::paddedReplyBytes - n);
    resetWait(ch);
    return rc::ok;
}

int32_t addToBatch(CommandChannel& ch, uint8_t* request, FrameBatch& batch) {
    if (batch.full()) return rc::cannotFrame;
    const int32_t r = buildRequestFrame(ch, request);
    if (r != rc::ok) return r;
    std::memcpy(batch.frames[batch.count], ch.txBuffer, ch.txLength);
    batch.lengths[batch.count++] = ch.txLength;
    return rc::ok;
}

int32_t sendBatch(CommandChannel& ch, FrameBatch& batch) {
    const int count = batch.count;
    batch.count = 0;
    if (count == 0) return rc::ok;
    if (!ch.ops) return rc::cannotFrame;
    startSendOnly(ch);
    if (traceActive())
        for (int i = 0; i < count; ++i) detail::traceFrame(ch, TVX_TRACE_SENT, batch.frames[i], batch.lengths[i]);
    if (ch.ops->sendMany) return ch.ops->sendMany(ch, batch.frames[0], kBufferSize, batch.lengths, count);
    for (int i = 0; i < count; ++i)
        if (const int32_t r = ch.ops->send(ch, batch.frames[i], batch.lengths[i]); r != rc::ok) return r;
    return rc::ok;
}

int32_t sendOnly(CommandChannel& ch, uint8_t* request) {
    startSendOnly(ch);
    int32_t r = buildRequestFrame(ch, request);
    if (r != rc::ok) return r;
    return detail::sendFrame(ch);
}

}  // namespace tvx
