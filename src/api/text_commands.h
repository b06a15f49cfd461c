// The host side of the controller's command interpreter: text goes out in
// chunks no larger than the controller's free command-buffer space, and the
// answer is fetched by polling, each piece led by a state byte.
#pragma once

#include <cstdint>

#include "channel/request_codes.h"
#include "link/handle.h"

namespace tvx {

// State byte of an answer piece: 0 more text waits, 2 the command finished;
// any other value: nothing more for now, the command still runs.
namespace text_answer_state {
inline constexpr uint8_t more = 0;
inline constexpr uint8_t done = 2;
}  // namespace text_answer_state

// Bytes of a command text on the wire: the text and its 0 byte, or the text
// alone when it ends in a line feed. An empty text is a single 0 byte.
uint32_t wireTextLength(const char* text);

// Most text bytes one request can carry on the handle's link (the frame of
// a request must fit the channel's buffer).
uint32_t textPayloadLimit(const ControllerHandle& h);

// Refuses caller text that is to be placed inside a command the library
// builds (names, passwords): null, or any byte below 0x20, which would end
// the command line early and let the rest run as further commands. 0 or
// 20002.
int32_t checkEmbeddedText(const char* text);

// The conversation steps. The caller holds the handle's user lock.

// Fetches answer pieces until the state byte is not 0, appending their text
// to `buffer` (at most `capacity` bytes). Writes the count and whether the
// command finished. On failure the text already copied stays in `buffer`.
int32_t collectAnswer(ControllerHandle& h, char* buffer, uint32_t capacity, uint32_t* countOut, bool* doneOut);

// Fetches and discards answer pieces until the state byte reads 2; 20003
// once `timeLimitMs` passed since the start (at least one fetch is made).
int32_t waitDown(ControllerHandle& h, uint32_t timeLimitMs);

// Answer collected while a text is sent (null for a send without answer).
struct AnswerSink {
    char* buffer = nullptr;
    uint32_t capacity = 0;
    uint32_t received = 0;
    bool done = false;
};

// Sends the first `n` bytes of `text` in chunks sized to the controller's
// free space. `enteredAt` is the tick at which the export was entered; 20003
// once `timeLimitMs` passed without free space. With a sink, the answer is
// collected after every chunk.
int32_t sendTextChunks(ControllerHandle& h, const char* text, uint32_t n, uint32_t timeLimitMs, uint32_t enteredAt,
                       AnswerSink* sink);

// Collects answer runs into the sink until the command reports down, then
// terminates the text if room is left. 20003 once `timeLimitMs` passed since
// the start with a run that brought no text.
int32_t collectUntilDown(ControllerHandle& h, AnswerSink& sink, uint32_t timeLimitMs);

}  // namespace tvx
