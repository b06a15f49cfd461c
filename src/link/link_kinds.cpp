// The link kinds known to the open sequence.
#include "link/ethernet_link.h"
#include "link/link_driver.h"
#include "link/pci_link.h"
#include "link/serial_link.h"
#include "tavrix.h"

namespace tvx {

const LinkDriver* driverForKind(int32_t kind) {
    switch (kind) {
        case TVX_LINK_SERIAL:
            return &serialDriver();
        case TVX_LINK_ETHERNET:
            return &ethernetDriver();
        case TVX_LINK_PCI:
            return &pciDriver();
        default:
            return nullptr;
    }
}

}  // namespace tvx
