// An open controller for the length of one tvx command, and the one-line
// error reports shared by all commands.
#pragma once

#include <string>

#include "command.h"
#include "tavrix.h"

namespace tvx::tool {

// Prints "tvx WHAT: DESCRIPTION (CODE)" to stderr; returns kExitFailure.
int reportFailure(const std::string& what, int32_t code);

// True for results that say the link itself is gone (no reply, send
// failure, closed handle): later requests would only wait again.
bool linkLost(int32_t code);

class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Probes and opens `address` (an IPv4 address or COMn); reports a failure itself and returns the
    // exit code (kExitOk when open).
    int open(const Command& command, std::string_view address, const GlobalOptions& global);
    TVX_HANDLE handle() const { return handle_; }
    const std::string& address() const { return address_; }

private:
    // A serial port: opened in full (the probe time does not apply; a silent
    // port costs the 5 s budget of the open).
    int openSerial(const Command& command, uint32_t port, const GlobalOptions& global);

    TVX_HANDLE handle_ = nullptr;
    std::string address_;
};

}  // namespace tvx::tool
