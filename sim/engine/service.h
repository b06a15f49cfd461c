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
};

class Service {
public:
    virtual ~Service() = default;
    virtual bool serves(uint16_t command) const = 0;
    virtual void serve(ServiceRequest& request) = 0;
    // Runs before every request the controller acts on (not before resent
    // copies), so that a service moves its own state on: programs run,
    // buffers drain.
    virtual void advance(Controller&) {}
    // A non-zero controller status refuses the request before anyone
    // serves it (a locked controller, for instance).
    virtual int32_t refusal(Controller&, uint16_t /*command*/) { return 0; }
};

// Every service of the simulated controller, in the order they are asked.
// New services are added to the list in services.cpp.
std::vector<std::unique_ptr<Service>> makeServices();

}  // namespace tvx::sim
