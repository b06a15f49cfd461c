// The steps of a text conversation with the controller's interpreter:
// polling answer pieces, waiting for the down state, sending in chunks.
#include "api/text_commands.h"
#include "base/debug_output.h"

#include <algorithm>
#include <cstring>

#include "api/requests.h"
#include "base/bytes.h"
#include "link/link_driver.h"
#include "platform/clock.h"

namespace tvx {
namespace {

// One answer poll (request 4): a state byte, then text.
struct Piece {
    PacketArea area;
    uint8_t state = 0;
    const uint8_t* text = nullptr;
    uint32_t length = 0;
};

int32_t fetchPiece(ControllerHandle& h, Piece& p) {
    p.area.begin(req::fetchAnswer, 0);
    const int32_t r = lockedTransact(h, p.area);
    if (r != rc::ok) return r;
    // A piece without even its state byte carries nothing that could be
    // copied as text; it is refused rather than read as a negative length.
    if (p.area.dataLength() == 0) return rc::bufferTooSmall;
    p.state = p.area.data()[0];
    p.text = p.area.data() + 1;
    p.length = p.area.dataLength() - 1;
    return rc::ok;
}

// Appends one run of answer pieces to the sink; `gotOut` is the text count
// of the run.
int32_t collectIntoSink(ControllerHandle& h, AnswerSink& sink, uint32_t* gotOut) {
    char* at = sink.buffer ? sink.buffer + sink.received : nullptr;
    uint32_t got = 0;
    bool done = false;
    const int32_t r = collectAnswer(h, at, sink.capacity - sink.received, &got, &done);
    if (r != rc::ok) return r;
    sink.received += got;
    sink.done = done;
    *gotOut = got;
    return rc::ok;
}

}  // namespace

uint32_t wireTextLength(const char* text) {
    const size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\n') return static_cast<uint32_t>(n);
    return static_cast<uint32_t>(n + 1);
}

uint32_t textPayloadLimit(const ControllerHandle& h) {
    return linkLimits(h).textPayload;
}

int32_t checkEmbeddedText(const char* text) {
    if (!text) return refuse(rc::badArgument, "text is NULL");
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        if (*p < 0x20) return refuse(rc::badArgument, "the text holds a control character");
    return rc::ok;
}

int32_t collectAnswer(ControllerHandle& h, char* buffer, uint32_t capacity, uint32_t* countOut, bool* doneOut) {
    // Pieces that keep announcing more text without carrying any would poll
    // for ever; they are allowed for one transaction budget.
    const uint32_t emptyLimitMs = static_cast<uint32_t>(h.timeoutMs.load(std::memory_order_relaxed));
    bool emptyRun = false;
    uint32_t emptySince = 0;
    uint32_t count = 0;
    Piece p;
    for (;;) {
        const int32_t r = fetchPiece(h, p);
        if (r != rc::ok) return r;
        if (p.length > capacity - count) return rc::bufferTooSmall;
        if (p.length > 0) {
            std::memcpy(buffer + count, p.text, p.length);
            count += p.length;
            emptyRun = false;
        }
        if (p.state != text_answer_state::more) break;
        if (p.length == 0) {
            if (!emptyRun) {
                emptyRun = true;
                emptySince = tickMs();
            } else if (ticksSince(emptySince) >= emptyLimitMs) {
                return rc::timeLimit;
            }
        }
    }
    if (count < capacity) buffer[count] = 0;
    *countOut = count;
    *doneOut = p.state == text_answer_state::done;
    return rc::ok;
}

int32_t waitDown(ControllerHandle& h, uint32_t timeLimitMs) {
    const uint32_t start = tickMs();
    Piece p;
    for (;;) {
        const int32_t r = fetchPiece(h, p);
        if (r != rc::ok) return r;
        if (p.state == text_answer_state::done) return rc::ok;
        if (ticksSince(start) >= timeLimitMs) return rc::timeLimit;
    }
}

int32_t sendTextChunks(ControllerHandle& h, const char* text, uint32_t n, uint32_t timeLimitMs, uint32_t enteredAt,
                       AnswerSink* sink) {
    // A controller may report more free space than one request can carry.
    const uint32_t payloadLimit = textPayloadLimit(h);
    if (payloadLimit == 0) return rc::invalidHandle;
    uint32_t sent = 0;
    while (sent < n) {
        int32_t free = 0;
        int32_t r = query(h, req::freeSpace, &free);
        // A closed handle cannot recover; any other failure is polled over
        // like a full buffer until the time limit.
        if (r == rc::invalidHandle) return r;
        if (r != rc::ok || free <= 0) {
            if (ticksSince(enteredAt) >= timeLimitMs) return rc::timeLimit;
            continue;
        }
        const uint32_t chunk = std::min({static_cast<uint32_t>(free), n - sent, payloadLimit});
        r = requestWithData(h, req::appendText, text + sent, chunk);
        if (r != rc::ok) return r;
        if (sink) {
            uint32_t got = 0;
            r = collectIntoSink(h, *sink, &got);
            if (r != rc::ok) return r;
        }
        sent += chunk;
    }
    return rc::ok;
}

int32_t collectUntilDown(ControllerHandle& h, AnswerSink& sink, uint32_t timeLimitMs) {
    // Only polls that bring no text count against the time limit: a long
    // answer still streaming is not cut off.
    const uint32_t start = tickMs();
    while (!sink.done) {
        uint32_t got = 0;
        const int32_t r = collectIntoSink(h, sink, &got);
        if (r != rc::ok) return r;
        if (!sink.done && got == 0 && ticksSince(start) >= timeLimitMs) return rc::timeLimit;
    }
    if (sink.received < sink.capacity) sink.buffer[sink.received] = 0;
    return rc::ok;
}

}  // namespace tvx
