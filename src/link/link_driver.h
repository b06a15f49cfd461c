// What each link kind supplies to the open and close sequence.
#pragma once

#include <cstdint>

#include "channel/channel.h"

namespace tvx {

struct ControllerHandle;

struct LinkDriver {
    uint8_t kind;
    Framing framing;
    // Parses the address into the record and sets the channel's attempts
    // and base wait for this kind; a result code.
    int32_t (*prepare)(ControllerHandle& h, const char* address);
    // Brings the link up (sockets, ports, receive threads); a result code.
    int32_t (*connect)(ControllerHandle& h);
    // Takes the link down. Safe to call twice: everything it closes is
    // cleared. Never waits for or kills the calling thread.
    void (*teardown)(ControllerHandle& h);
    // The channel's link operations for this kind.
    const LinkOps* ops;
};

// The driver for a link kind, or null for an unknown kind.
const LinkDriver* driverForKind(int32_t kind);

// The link operations shared by every kind: waiting on the reply event,
// signalling it, recording activity, idle expiry and unsolicited packets.
int32_t commonWaitReply(CommandChannel& ch, uint32_t ms);
void commonSignalReply(CommandChannel& ch);
void commonNoteActivity(CommandChannel& ch);
bool commonIdleExpired(CommandChannel& ch);
void handleUnsolicited(CommandChannel& ch, const uint8_t* packet, uint32_t available);

}  // namespace tvx
