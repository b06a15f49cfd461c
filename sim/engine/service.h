// A group of requests the simulated controller serves in files of its own
// (variables and debugging, cycle upload, firmware, the LCD, ...). The
// controller asks each service in turn whether it serves a request code;
// the first that does fills the reply. Services run under the controller's
// mutex and may keep any state they need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/reply.h"

namespace tvx::sim {

class Controller;

// One request as a service sees it.
struct ServiceRequest {
    Controller& controller;
    uint16_t command;
    const uint8_t* args;  // the arguments after the packet header
    size_t n;             // argument bytes
    size_t room;          // the most reply data bytes one reply may carry
    Reply& reply;         // status 0 and no data until the service adds them
    uint64_t origin = 0;  // the sender (address and port on UDP; 0 in process)
};

// A packet the controller pushes to a host on its own (function 73).
struct PushedPacket {
    uint64_t origin;  // the host it goes to, as ServiceRequest::origin
    uint16_t command;
    int32_t value;    // the 32-bit field after the header
    std::vector<uint8_t> data;
};

class Service {
public:
    virtual ~Service() = default;
    virtual bool serves(uint16_t command) const = 0;
    virtual void serve(ServiceRequest& request) = 0;
    // Returns the service to its first state (the controller is reset).
    virtual void reset() = 0;
    // Runs before every request the controller acts on (not before resent
    // copies), so that a service moves its own state on: programs run,
    // buffers drain.
    virtual void advance(Controller&) {}
    // A non-zero controller status refuses the request before anyone
    // serves it (a locked controller, for instance).
    virtual int32_t refusal(Controller&, uint16_t /*command*/) { return 0; }
    // Packets due at tick `nowMs` that the service pushes to hosts.
    virtual void takePushes(Controller&, uint32_t /*nowMs*/, std::vector<PushedPacket>& /*out*/) {}
    // Milliseconds until the service has a packet due; `idleMs` when none.
    virtual uint32_t msUntilPush(uint32_t /*nowMs*/, uint32_t idleMs) const { return idleMs; }
    // True for a request code whose requests carry the numbered blocks of a
    // download (u16 block number first; 0 starts the download).
    virtual bool streamsBlocks(uint16_t /*command*/) const { return false; }
};

// Every service of the simulated controller, in the order they are asked.
// New services are added to the list in services.cpp.
std::vector<std::unique_ptr<Service>> makeServices();

}  // namespace tvx::sim
