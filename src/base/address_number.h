// The numbers in link addresses: the port after "COM", the port after the
// colon of an Ethernet address and the card number after "PCI"/"PCIE".
// They are read as atoi reads them (leading blanks, an optional sign, then
// digits up to the first other character; no digits read as 0), because
// callers have always written them that way.
#pragma once

#include <cstdint>

namespace tvx {

// Which characters count as blanks before the number.
enum class NumberBlanks : uint8_t {
    spaceAndTab,  // ' ' and '\t' only
    any,          // ' ', '\t', '\n', '\v', '\f' and '\r'
};

struct AddressNumber {
    bool negative = false;
    // The digits' magnitude exceeds INT32_MAX.
    bool overflow = false;
    // The magnitude modulo 2^32 (exact when there is no overflow).
    uint32_t magnitude = 0;

    // The signed value, saturated at +-(INT32_MAX + 1): beyond every range
    // an address accepts, and still on the side its sign puts it.
    int64_t saturated() const {
        const int64_t m = overflow ? int64_t{INT32_MAX} + 1 : int64_t{magnitude};
        return negative ? -m : m;
    }
    // The signed value modulo 2^16.
    uint16_t modulo16() const { return static_cast<uint16_t>((negative ? 0u - magnitude : magnitude) & 0xFFFFu); }
};

// Reads the number at the start of `text` (never null).
AddressNumber readAddressNumber(const char* text, NumberBlanks blanks);

}  // namespace tvx
