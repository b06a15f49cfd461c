// The link kinds known to the open sequence, and what one request can
// carry on each.
#include "link/ethernet_link.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "link/pci_link.h"
#include "link/serial_link.h"

namespace tvx {

const LinkDriver* driverForKind(int32_t kind) {
    // Every link kind the open sequence knows, one line each.
    static const LinkDriver* const kinds[] = {
        &serialDriver(),
        &ethernetDriver(),
        &pciDriver(),
    };
    for (const LinkDriver* d : kinds)
        if (d->kind == kind) return d;
    return nullptr;
}

LinkLimits linkLimits(const ControllerHandle& h) {
    LinkLimits limits = h.driver ? h.driver->limits : kSerialLimits;
    const CommandChannel& ch = h.channel;
    const uint32_t framed = framingOverhead(ch.framing) + static_cast<uint32_t>(packet::headerLength);
    limits.textPayload = ch.bufferCapacity > framed ? ch.bufferCapacity - framed : 0;
    return limits;
}

}  // namespace tvx
