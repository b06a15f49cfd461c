// The link kinds known to the open sequence.
#include "link/ethernet_link.h"
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

}  // namespace tvx
