// Packets the controller pushes (function 73) reach the layers above the
// link through sinks they install once, at library load. A packet whose
// sink is not installed is dropped.
#pragma once

#include <cstdint>

namespace tvx {

struct ControllerHandle;

// Runs on the link's receive thread. `length` is the packet's own length,
// checked against what was received; the packet carries at least its reply
// header and one data byte.
using PushedPacketSink = void (*)(ControllerHandle& h, const uint8_t* packet, uint16_t length);

// Installs the sink of the pushed packets of `command`: the callback text
// (delivered to the handle's auto-upload callback from the start) or the
// cycle-upload blocks. False for a command no packet is pushed with.
bool setPushedPacketSink(uint16_t command, PushedPacketSink sink);
// The sink installed for `command`, or null.
PushedPacketSink pushedPacketSink(uint16_t command);

// Waits until no call of the handle's auto-upload callback runs on another
// thread. Called by close after the record was marked closed: a delivery
// that starts later sees that and does not call. A call on the closing
// thread itself (a callback closing its own handle) is not waited for.
void waitForCallbacks(ControllerHandle& h);

}  // namespace tvx
