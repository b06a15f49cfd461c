// The one table each link kind supplies: the channel's link operations it
// starts with, then its framing, its limits and its steps of the open and
// close sequence.
#pragma once

#include <cstdint>

#include "channel/channel.h"

namespace tvx {

struct ControllerHandle;

// What one request can carry on a link kind.
struct LinkLimits {
    uint32_t blockBytes = 0;        // data bytes of one download block
    uint32_t valuesPerRequest = 0;  // 32-bit values one request carries or asks for
    uint32_t registerBytes = 0;     // register bytes one request carries
    // Downloads that ask for it go one block at a time, whatever window the
    // controller offers.
    bool oneBlockWindow = false;
    // Text bytes one request packet carries: the buffer less the framing and
    // the packet header (filled in by linkLimits from the channel).
    uint32_t textPayload = 0;
};

inline constexpr LinkLimits kSerialLimits{192, 48, 192, true, 0};
inline constexpr LinkLimits kFastLinkLimits{992, 248, 992, false, 0};

inline constexpr uint32_t kHoldUntilFree = UINT32_MAX;

struct LinkDriver : LinkOps {
    uint8_t kind;
    Framing framing;
    LinkLimits limits;
    // Parses the address into the kind's state and sets the channel's
    // attempts and base wait for this kind; a result code.
    int32_t (*prepare)(ControllerHandle& h, const char* address);
    // Brings the link up (sockets, ports, receive threads); a result code.
    int32_t (*connect)(ControllerHandle& h);
    // Close's quiesce step: holds the kind's receive path off the channel
    // while close marks the record closed (within `limitMs`, or until it is
    // free for kHoldUntilFree), true when held; release lets it go again,
    // as it must still run for the teardown to stop it. Both may be null.
    bool (*holdReceive)(ControllerHandle& h, uint32_t limitMs);
    void (*releaseReceive)(ControllerHandle& h);
    // Takes the link down. Safe to call twice: everything it closes is
    // cleared. Never waits for or kills the calling thread.
    void (*teardown)(ControllerHandle& h);
};

// The driver for a link kind, or null for an unknown kind.
const LinkDriver* driverForKind(int32_t kind);

// The limits of the handle's link.
LinkLimits linkLimits(const ControllerHandle& h);

// Hands a pushed packet to its sink: the unsolicited operation of every
// kind.
void handleUnsolicited(CommandChannel& ch, const uint8_t* packet, uint32_t available);

}  // namespace tvx
