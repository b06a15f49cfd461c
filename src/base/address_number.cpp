#include "base/address_number.h"

namespace tvx {
namespace {

bool isBlank(char c, NumberBlanks blanks) {
    if (c == ' ' || c == '\t') return true;
    return blanks == NumberBlanks::any && c >= '\n' && c <= '\r';
}

}  // namespace

AddressNumber readAddressNumber(const char* text, NumberBlanks blanks) {
    AddressNumber n;
    while (isBlank(*text, blanks)) ++text;
    if (*text == '+' || *text == '-') n.negative = *text++ == '-';
    uint64_t exact = 0;  // held only while it fits INT32_MAX
    for (; *text >= '0' && *text <= '9'; ++text) {
        const auto digit = static_cast<uint32_t>(*text - '0');
        n.magnitude = n.magnitude * 10u + digit;
        if (!n.overflow) {
            exact = exact * 10u + digit;
            n.overflow = exact > static_cast<uint64_t>(INT32_MAX);
        }
    }
    return n;
}

}  // namespace tvx
