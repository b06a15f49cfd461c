// The simulated controller behind one UDP address, independent of sockets:
// takes each received datagram, answers discovery probes and MBAP frames
// through the engine, applies the fault plan and queues what goes out with
// the time it is due. The socket loop only moves datagrams in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/controller.h"
#include "server/faults.h"

namespace tvx::sim {

// IPv4 addresses in host byte order.
struct Peer {
    uint32_t ip = 0;
    uint16_t port = 0;
};

struct Datagram {
    Peer to;
    std::vector<uint8_t> bytes;
};

struct ResponderStats {
    uint64_t received = 0;
    uint64_t probes = 0;          // discovery datagrams answered
    uint64_t frames = 0;          // MBAP frames handed to the engine
    uint64_t unanswered = 0;      // frames the engine gave no reply
    uint64_t droppedProbes = 0;
    uint64_t droppedRequests = 0;
    uint64_t droppedReplies = 0;
    uint64_t duplicated = 0;
    uint64_t reordered = 0;
    uint64_t corrupted = 0;
    uint64_t noise = 0;
    uint64_t refused = 0;         // destinations outside loopback
    uint64_t sent = 0;
    uint64_t pushed = 0;          // packets the controller pushed on its own
    uint64_t superseded = 0;      // block answers dropped unsent: the host sent the next block first
};

// True for the addresses this program ever sends to: 127.0.0.0/8, and
// 0.0.0.0, the source of a broadcast from an unconfigured loopback-only host
// (sending there reaches the local host).
bool isLocalDestination(uint32_t ip);

// Formats one trace line: direction, peer, length and the bytes in hex.
std::string traceLine(std::string_view what, Peer peer, const uint8_t* bytes, size_t n);

class Responder {
public:
    using TraceSink = std::function<void(const std::string& line)>;

    // `probeAnswer` is the text sent back to discovery probes (the serving
    // address). `trace` may be empty.
    Responder(Controller& controller, const FaultPlan& plan, std::string probeAnswer, TraceSink trace = {});

    void receive(const uint8_t* bytes, size_t n, Peer from, uint32_t nowMs);
    // Moves the datagrams due at `nowMs` to `out`, in the order they were
    // queued.
    void takeDue(uint32_t nowMs, std::vector<Datagram>& out);
    // Takes back the datagrams takeDue gave out once they are sent, and
    // empties `sent`: their memory holds the next replies, so a reply costs
    // no allocation.
    void recycle(std::vector<Datagram>& sent);
    // Milliseconds until the next datagram is due; `idleMs` when none is.
    uint32_t msUntilDue(uint32_t nowMs, uint32_t idleMs) const;
    // Counts what went out through the socket.
    void noteSent() { ++stats_.sent; }
    const ResponderStats& stats() const { return stats_; }

    // A held reply goes out after the next reply, or after this long.
    static constexpr uint32_t kMaxHoldMs = 50;

private:
    struct Pending {
        uint32_t dueMs;
        Datagram datagram;
    };
    void answer(const uint8_t* reply, size_t n, Peer to, uint32_t nowMs);
    // A request's command and first u16 argument (a block number, for a
    // download block).
    struct BlockOf {
        bool valid = false;
        uint16_t command = 0;
        uint16_t number = 0;
    };
    static BlockOf blockOf(const uint8_t* pdu, size_t pduLength);
    void dropSupersededAnswer(Peer from, const BlockOf& block);
    void queue(Peer to, const uint8_t* bytes, size_t n, uint32_t dueMs, const char* note);
    void releaseHeld(uint32_t dueMs);
    void trace(std::string_view what, Peer peer, const uint8_t* bytes, size_t n);

    Controller& controller_;
    FaultInjector faults_;
    std::string probeAnswer_;
    TraceSink trace_;
    std::vector<Pending> pending_;
    std::vector<std::vector<uint8_t>> spareBytes_;  // from recycle(), for queue()
    bool holding_ = false;
    uint32_t heldSinceMs_ = 0;
    Datagram held_;
    ResponderStats stats_;
    std::vector<Controller::PushedFrame> pushes_;
    // The download block whose answer was queued last and is not sent yet:
    // when the same host's next block of that download comes before it goes
    // out, the host did not wait for it, and it is dropped. A controller
    // answers every block (a host may wait for each); a host streaming a
    // window waits only for some, and the rest would only cost it receives.
    struct UnsentBlockAnswer {
        bool valid = false;
        Peer peer{};
        uint16_t command = 0;
        uint16_t number = 0;
    };
    UnsentBlockAnswer unsentBlock_;
};

}  // namespace tvx::sim
