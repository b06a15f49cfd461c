// Opening PCI and PCIe cards, and counting them.
#include <cstdio>

#include "link/pci_link.h"
#include "tavrix.h"

using namespace tvx;

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_OpenPci(uint32_t card, TVX_HANDLE* out) {
    // Card numbers wrap as 32-bit values: 0xFFFFFFFF names "PCI0", which no
    // card answers to.
    char address[16];
    std::snprintf(address, sizeof address, "PCI%u", static_cast<unsigned>(card + 1u));
    return TVX_Open(TVX_LINK_PCI, address, out);
}

TVX_API int32_t TVX_STDCALL TVX_GetMaxPciCards(void) { return countPciCards(); }

}  // extern "C"
