// The address parsers over arbitrary text: the number reader stays within
// its saturation bounds, and the COM, card and Ethernet address parsers
// never read past the terminator or write past their outputs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/address_number.h"
#include "link/ethernet_link.h"
#include "link/pci_link.h"
#include "link/serial_link.h"

using namespace tvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back(0);
    for (NumberBlanks blanks : {NumberBlanks::spaceAndTab, NumberBlanks::any}) {
        const AddressNumber n = readAddressNumber(text.data(), blanks);
        const int64_t v = n.saturated();
        if (v > int64_t{INT32_MAX} + 1 || v < -(int64_t{INT32_MAX} + 1)) std::abort();
        if (!n.overflow && (n.negative ? -v : v) != int64_t{n.magnitude}) std::abort();
    }
    int32_t port = 0;
    (void)parseComAddress(text.data(), &port);
    CardChoice card;
    if (resolveCardAddress(text.data(), 3, 2, &card) == 0 && (card.cardIndex < 0 || card.cardIndex >= 5)) std::abort();
    char ip[16];
    uint16_t ipPort = 0;
    (void)parseEthernetAddress(text.data(), ip, sizeof ip, &ipPort);
    return 0;
}
