// Requests arriving on PREFIX/NAME/set/ITEM and PREFIX/NAME/exec: what
// may go on to the controller and what is refused on the spot, and the
// reply published on PREFIX/NAME/result.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "config.h"
#include "items.h"

namespace tvx::gateway {

// Result codes of the gateway's own refusals; everything else in a reply
// is a library result code (0 for success).
constexpr int32_t kRefusedNotWritable = 30001;  // the item is not in the controller's writable list
constexpr int32_t kRefusedExecOff = 30002;      // text commands are not allowed for the controller
constexpr int32_t kRefusedBadPayload = 30003;   // the payload is not a number or command line
constexpr int32_t kRefusedTooOld = 30004;       // the request is older than the age limit
constexpr int32_t kRefusedOffline = 30005;      // the controller is not online
constexpr int32_t kRefusedBusy = 30006;         // too many requests are waiting for the controller
constexpr int32_t kControllerError = 30007;     // the controller answered with an error report
constexpr int32_t kRefusedUnknownTopic = 30008; // a topic under the controller that takes no request

const char* describeCode(int32_t code);

struct Request {
    enum class Kind { Set, Exec } kind = Kind::Set;
    std::string topic;  // as received, echoed in the reply
    Target target;      // Set
    double value = 0;   // Set
    std::string command;  // Exec
    std::chrono::steady_clock::time_point arrived;
};

struct Verdict {
    int32_t code = 0;  // 0: accepted, the request goes on to the controller
    std::string text;
    Request request;
};

// Decides about one message. `base` is "PREFIX/NAME"; `nowMs` the wall
// clock in ms since the epoch (for payloads that carry their time). A
// retained message is a stored old request and is refused as too old.
Verdict judgeRequest(const ControllerConfig& controller, std::string_view base, std::string_view topic,
                     std::string_view payload, bool retained, int64_t nowMs, uint32_t maxAgeMs);

// {"topic": ..., "code": ..., "text": ..., "answer": ...}
std::string resultJson(std::string_view topic, int32_t code, std::string_view text, std::string_view answer);

// True when a line of a command's answer is the interpreter's error report
// ("ERROR <n>: ..."): the command failed although the exchange succeeded.
bool answerReportsError(std::string_view answer);

}  // namespace tvx::gateway
