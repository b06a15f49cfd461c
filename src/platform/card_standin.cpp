// The stand-in card driver: every driver request becomes one message on a
// loopback TCP connection to the simulated cards, answered before the
// request returns.
#include <cstring>
#include <new>

#include "base/bytes.h"
#include "platform/card_driver.h"
#include "platform/card_standin_wire.h"
#include "platform/platform.h"
#include "platform/stream_socket.h"

namespace tvx::platform::standin_cards {
namespace {

// A simulated card answers at once; a silent or slow one fails the request
// instead of holding the caller (and the handle's locks) for long. This is
// the most any one exchange may take, however its bytes arrive; a caller's
// own limit may be shorter.
inline constexpr uint32_t kAnswerTimeoutMs = 3000;
inline constexpr uint32_t kLoopbackNet = 0x7F000000u;
inline constexpr uint32_t kDefaultHost = 0x7F000001u;

bool connectTo(StreamSocket& s, uint32_t ip, uint16_t port) { return s.connect(ip, port); }

// Sends one request body and receives the answer body into `answer`
// (capacity kMaxBody) within `limitMs` for the whole exchange; the answer's
// length, or -1. An exchange cut off midway leaves the stream out of step,
// so the connection is closed and every later exchange on it fails.
int exchange(StreamSocket& s, const uint8_t* body, size_t n, uint8_t* answer, uint32_t limitMs) {
    uint8_t message[standin::kLengthBytes + standin::kMaxBody];
    if (n > standin::kMaxBody) return -1;
    const uint32_t start = systemTickMs();
    const uint32_t limit = limitMs < kAnswerTimeoutMs ? limitMs : kAnswerTimeoutMs;
    const auto left = [&]() -> uint32_t {
        const uint32_t spent = systemTickMs() - start;
        return spent >= limit ? 0 : limit - spent;
    };
    putU16(message, static_cast<uint16_t>(n));
    std::memcpy(message + standin::kLengthBytes, body, n);
    uint8_t length[standin::kLengthBytes];
    if (!s.sendAll(message, standin::kLengthBytes + n) || !s.receiveAllWithin(length, sizeof length, left())) {
        s.close();
        return -1;
    }
    const size_t m = getU16(length);
    if (m > standin::kMaxBody || !s.receiveAllWithin(answer, m, left())) {
        s.close();
        return -1;
    }
    return static_cast<int>(m);
}

class StandInDevice final : public CardDevice {
public:
    StreamSocket socket;

    bool control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                 uint32_t* returned, uint32_t timeLimitMs) override {
        *returned = 0;
        if (inLength > standin::kMaxBody - standin::control_req::input || outCapacity > 0xFFFF) return false;
        uint8_t body[standin::kMaxBody];
        body[standin::control_req::op] = standin::op::control;
        putU32(body + standin::control_req::code, code);
        putU16(body + standin::control_req::outCapacity, static_cast<uint16_t>(outCapacity));
        if (inLength > 0) std::memcpy(body + standin::control_req::input, in, inLength);
        uint8_t answer[standin::kMaxBody];
        // Another thread's exchange counts against this one's limit too.
        const uint32_t start = systemTickMs();
        if (!turn_.valid() || !turn_.waitFor(timeLimitMs)) return false;
        const uint32_t spent = systemTickMs() - start;
        const int m = spent >= timeLimitMs
                          ? -1
                          : exchange(socket, body, standin::control_req::input + inLength, answer, timeLimitMs - spent);
        turn_.release();
        if (m < 1 || answer[standin::control_ans::ok] != 1) return false;
        const uint32_t produced = static_cast<uint32_t>(m) - standin::control_ans::output;
        if (produced > outCapacity) return false;
        if (produced > 0) std::memcpy(out, answer + standin::control_ans::output, produced);
        *returned = produced;
        return true;
    }

    // One exchange at a time on the connection, waited for with a limit.
    bool makeTurn() { return turn_.create(); }

private:
    Semaphore turn_;
};

}  // namespace

bool parseEndpoint(const char* text, uint32_t* ip, uint16_t* port) {
    if (!text) return false;
    const char* colon = std::strrchr(text, ':');
    uint32_t host = kDefaultHost;
    const char* portText = text;
    if (colon) {
        char hostText[16];
        const size_t n = static_cast<size_t>(colon - text);
        if (n == 0 || n >= sizeof hostText) return false;
        std::memcpy(hostText, text, n);
        hostText[n] = 0;
        if (!parseIpv4(hostText, &host) || (host & 0xFF000000u) != kLoopbackNet) return false;
        portText = colon + 1;
    }
    uint32_t value = 0;
    if (!*portText) return false;
    for (const char* p = portText; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    *ip = host;
    *port = static_cast<uint16_t>(value);
    return true;
}

int count(uint32_t ip, uint16_t port, CardClass cls, int limit) {
    StreamSocket s;
    if (!connectTo(s, ip, port)) return 0;
    uint8_t body[standin::count_req::bytes];
    body[standin::count_req::op] = standin::op::count;
    body[standin::count_req::cls] = static_cast<uint8_t>(cls);
    uint8_t answer[standin::kMaxBody];
    const int m = exchange(s, body, sizeof body, answer, kAnswerTimeoutMs);
    if (m < static_cast<int>(standin::count_ans::bytes) || answer[standin::count_ans::ok] != 1) return 0;
    const int n = getU16(answer + standin::count_ans::count);
    return n < limit ? n : limit;
}

CardOpenResult open(uint32_t ip, uint16_t port, CardClass cls, int index, std::unique_ptr<CardDevice>* out) {
    if (index < 0 || index > 0xFFFF) return CardOpenResult::noInterface;
    std::unique_ptr<StandInDevice> device(new (std::nothrow) StandInDevice);
    if (!device || !device->makeTurn()) return CardOpenResult::noDetail;
    if (!connectTo(device->socket, ip, port)) return CardOpenResult::noDeviceSet;
    uint8_t body[standin::open_req::bytes];
    body[standin::open_req::op] = standin::op::open;
    body[standin::open_req::cls] = static_cast<uint8_t>(cls);
    putU16(body + standin::open_req::index, static_cast<uint16_t>(index));
    uint8_t answer[standin::kMaxBody];
    const int m = exchange(device->socket, body, sizeof body, answer, kAnswerTimeoutMs);
    if (m < static_cast<int>(standin::open_ans::bytes)) return CardOpenResult::noDeviceSet;
    const uint8_t result = answer[standin::open_ans::result];
    if (result > static_cast<uint8_t>(CardOpenResult::cannotOpen)) return CardOpenResult::cannotOpen;
    if (result != static_cast<uint8_t>(CardOpenResult::ok)) return static_cast<CardOpenResult>(result);
    *out = std::move(device);
    return CardOpenResult::ok;
}

}  // namespace tvx::platform::standin_cards
