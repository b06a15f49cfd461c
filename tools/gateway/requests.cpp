#include "requests.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "tavrix.h"

namespace tvx::gateway {
namespace {

constexpr size_t kMaxCommandLength = 2000;  // the library's limit is 2033 on Ethernet

Verdict refuse(int32_t code, std::string_view topic, std::string text = {}) {
    Verdict v;
    v.code = code;
    v.text = text.empty() ? describeCode(code) : std::move(text);
    v.request.topic = std::string(topic);
    return v;
}

// A payload may be a JSON object carrying its own send time "t" (ms since
// the epoch) and the "value" or "command"; false when it is no such object.
bool readObjectPayload(std::string_view payload, const char* field, nlohmann::json* body, int64_t* sentMs,
                       bool* malformed) {
    size_t first = payload.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || payload[first] != '{') return false;
    *body = nlohmann::json::parse(payload, nullptr, false);
    *malformed = body->is_discarded() || !body->is_object() || !body->contains(field) ||
                 (body->contains("t") && !(*body)["t"].is_number());
    if (!*malformed && body->contains("t")) *sentMs = (*body)["t"].get<int64_t>();
    return true;
}

}  // namespace

const char* describeCode(int32_t code) {
    switch (code) {
        case kRefusedNotWritable: return "Refused: the item is not writable through the gateway.";
        case kRefusedExecOff: return "Refused: text commands are not allowed for this controller.";
        case kRefusedBadPayload: return "Refused: the payload is malformed.";
        case kRefusedTooOld: return "Refused: the request is too old to be carried out.";
        case kRefusedOffline: return "Refused: the controller is offline.";
        case kRefusedBusy: return "Refused: too many requests are waiting for the controller.";
        case kControllerError: return "The controller answered with an error.";
        case kRefusedUnknownTopic: return "Refused: this topic takes no request.";
        default: return tvx_describe_result(code);
    }
}

Verdict judgeRequest(const ControllerConfig& controller, std::string_view base, std::string_view topic,
                     std::string_view payload, bool retained, int64_t nowMs, uint32_t maxAgeMs) {
    std::string_view rest = topic.substr(base.size());
    const bool isSet = rest.rfind("/set/", 0) == 0;
    const bool isExec = rest == "/exec";
    if (!isSet && !isExec) return refuse(kRefusedUnknownTopic, topic);
    if (retained) return refuse(kRefusedTooOld, topic, "Refused: a retained request is a stored old one.");

    Verdict v;
    v.request.topic = std::string(topic);
    nlohmann::json body;
    int64_t sentMs = -1;
    bool malformed = false;
    const bool object = readObjectPayload(payload, isSet ? "value" : "command", &body, &sentMs, &malformed);
    if (malformed)
        return refuse(kRefusedBadPayload, topic,
                      std::string("Refused: the payload is malformed: expected a JSON object with \"") +
                          (isSet ? "value" : "command") + "\" and an optional number \"t\".");
    if (sentMs >= 0 && nowMs - sentMs > static_cast<int64_t>(maxAgeMs))
        return refuse(kRefusedTooOld, topic,
                      "Refused: the request was sent " + std::to_string(nowMs - sentMs) + " ms ago.");

    if (isSet) {
        const std::string_view item = rest.substr(5);
        Target target;
        // Checked before the payload: an item outside the list is refused
        // whatever it carries.
        bool allowed = parseTarget(item, &target);
        if (allowed) {
            allowed = false;
            for (const Target& w : controller.writable) allowed = allowed || w.key == target.key;
        }
        if (!allowed)
            return refuse(kRefusedNotWritable, topic,
                          "Refused: " + std::string(item.substr(0, 64)) + " is not writable through the gateway.");
        double value = 0;
        const bool ok = object ? body["value"].is_number() && std::isfinite(value = body["value"].get<double>())
                               : parseNumberPayload(payload, &value);
        if (!ok) return refuse(kRefusedBadPayload, topic, "Refused: the payload is not a number.");
        v.request.kind = Request::Kind::Set;
        v.request.target = target;
        v.request.value = value;
        return v;
    }

    if (!controller.exec) return refuse(kRefusedExecOff, topic);
    std::string command = object ? (body["command"].is_string() ? body["command"].get<std::string>() : std::string())
                                 : std::string(payload);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
    bool clean = !command.empty() && command.size() <= kMaxCommandLength;
    // One command line: a line break or another control character would
    // let one request run several commands.
    for (unsigned char c : command) clean = clean && c >= 0x20 && c != 0x7F;
    if (!clean)
        return refuse(kRefusedBadPayload, topic,
                      "Refused: the payload must be one command line of 1 to 2000 printable characters.");
    v.request.kind = Request::Kind::Exec;
    v.request.command = std::move(command);
    return v;
}

std::string resultJson(std::string_view topic, int32_t code, std::string_view text, std::string_view answer) {
    nlohmann::json j = {{"topic", topic}, {"code", code}, {"text", text}, {"answer", answer}};
    // Controller text is not always valid UTF-8: replace rather than throw.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool answerReportsError(std::string_view answer) {
    for (size_t at = 0; at < answer.size();) {
        if (answer.compare(at, 6, "ERROR ") == 0) return true;
        const size_t next = answer.find('\n', at);
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return false;
}

}  // namespace tvx::gateway
