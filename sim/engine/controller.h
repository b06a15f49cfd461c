// The simulated controller engine: takes request frames in RTU or MBAP
// framing and produces reply frames, acting on its model. Used in-process
// by tests and behind the UDP transport of tavrix-sim.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "channel/channel.h"
#include "engine/model.h"
#include "engine/reply.h"
#include "engine/service.h"
#include "engine/transfer_service.h"
#include "interpreter/console.h"

namespace tvx::sim {

inline constexpr size_t kFrameCapacity = 2048;

class Controller {
public:
    Controller() = default;

    // Returns the controller to the state of a new one, so that a caller
    // running many independent sessions (a fuzz target) can reuse it.
    void reset();

    ControllerModel& model() { return model_; }
    std::mutex& mutex() { return mutex_; }
    // The command console behind the text requests 2 to 5 (settings and
    // interpreter state); use under mutex() while a link is active.
    interp::Console& console() { return console_; }
    TransferService& transfers() { return transfers_; }
    // The first service of type T, or null: services reach each other's
    // state through it.
    template <class T>
    T* service() {
        for (auto& s : services_)
            if (auto* t = dynamic_cast<T*>(s.get())) return t;
        return nullptr;
    }

    // Handles one received frame; returns the reply frame's length in `reply`
    // (0 when the frame gets no reply: malformed, not for us, or a request
    // sent without acknowledgement).
    // `origin` names the sender (a UDP server passes its address and port):
    // only a resend from the same origin is answered from memory.
    size_t handleFrame(Framing framing, const uint8_t* frame, size_t n, uint8_t* reply, size_t capacity,
                       uint64_t origin = 0);

    // True when a request of `command` with the block number `number` (its
    // first u16 argument) is a block of a download rather than its start.
    bool isDownloadBlock(uint16_t command, uint16_t number) const;

    // Frames the packets the services push at tick `nowMs`, each with the
    // next pushed sequence number.
    struct PushedFrame {
        uint64_t origin;
        std::vector<uint8_t> bytes;
    };
    void takePushes(Framing framing, uint32_t nowMs, std::vector<PushedFrame>& out);
    // Milliseconds until a service has a packet to push; `idleMs` when none.
    uint32_t msUntilPush(uint32_t nowMs, uint32_t idleMs);
    // Frames one pushed packet with the next pushed sequence number; false
    // when it does not fit a frame. Use under mutex().
    bool framePush(Framing framing, const PushedPacket& p, std::vector<uint8_t>& frame);
    // The sender of the latest command text (request 2 or 5): where the
    // interpreter's own output is pushed.
    uint64_t consoleOrigin() const { return consoleOrigin_; }

    // Builds a function-73 frame carrying a pushed packet.
    static size_t buildUnsolicited(Framing framing, uint8_t station, uint16_t command, uint16_t sequence,
                                   int32_t value, const uint8_t* data, size_t n, uint8_t* out, size_t capacity);

private:
    // Fills the reply packet for a library request; returns its length, or 0
    // for no reply. `reply` has room for the largest packet.
    size_t handleRequest(const uint8_t* request, size_t n, uint8_t* reply, size_t replyCapacity, uint64_t origin);
    // Requests 2 to 5: command text, free space, answer pieces, direct
    // commands. `room` is the most reply data a packet may carry.
    int32_t handleText(uint16_t command, const uint8_t* args, size_t n, size_t room, std::string& data);
    size_t handleStandard(uint8_t function, const uint8_t* body, size_t n, uint8_t* pdu, size_t capacity);

    struct Remembered {
        bool used = false;
        uint16_t command = 0;
        uint16_t sequence = 0;
        uint64_t requestHash = 0;  // origin and whole request: another host may reuse a sequence
        uint16_t length = 0;
        uint8_t packet[kFrameCapacity];
    };
    const Remembered* recall(uint16_t command, uint16_t sequence, uint64_t requestHash) const;
    void remember(uint16_t command, uint16_t sequence, uint64_t requestHash, const uint8_t* packet, size_t n);

    bool serveByService(uint16_t command, const uint8_t* args, size_t n, size_t capacity, Reply& rep,
                        uint64_t origin);
    void transferReply(uint16_t command, const uint8_t* args, size_t n, size_t capacity, Reply& rep);
    // The transfer service's reply data, kept between requests so that a
    // block of an upload needs no allocation.
    std::string transferData_;

    ControllerModel model_;
    TransferService transfers_;
    interp::Console console_;
    std::vector<std::unique_ptr<Service>> services_ = makeServices();
    std::mutex mutex_;
    static constexpr int kRemembered = 4;
    Remembered recent_[kRemembered];
    int nextSlot_ = 0;
    uint64_t consoleOrigin_ = 0;
    uint16_t pushSequence_ = 0;
};

}  // namespace tvx::sim
