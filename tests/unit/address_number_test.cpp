#include <gtest/gtest.h>

#include "base/address_number.h"

namespace tvx {
namespace {

TEST(AddressNumber, ReadsLikeAtoiWithSaturationAndWrapping) {
    const struct {
        const char* text;
        NumberBlanks blanks;
        int64_t saturated;
        uint16_t modulo16;
        bool overflow;
    } cases[] = {
        {"3", NumberBlanks::any, 3, 3, false},
        {"", NumberBlanks::any, 0, 0, false},
        {"x12", NumberBlanks::any, 0, 0, false},
        {"12x5", NumberBlanks::any, 12, 12, false},
        {"+7", NumberBlanks::any, 7, 7, false},
        {"-1", NumberBlanks::any, -1, 0xFFFF, false},
        {"- 1", NumberBlanks::any, 0, 0, false},
        {" \t\n\v\f\r42", NumberBlanks::any, 42, 42, false},
        // Only spaces and tabs are blanks for a port.
        {" \t42", NumberBlanks::spaceAndTab, 42, 42, false},
        {"\n42", NumberBlanks::spaceAndTab, 0, 0, false},
        {"2147483647", NumberBlanks::any, 2147483647, 0xFFFF, false},
        {"-2147483647", NumberBlanks::any, -2147483647, 1, false},
        {"2147483648", NumberBlanks::any, 2147483648, 0, true},
        {"-99999999999", NumberBlanks::any, -2147483648, static_cast<uint16_t>(-99999999999LL), true},
        // A port far beyond 16 bits is kept modulo 2^16.
        {"65536", NumberBlanks::spaceAndTab, 65536, 0, false},
        {"70000", NumberBlanks::spaceAndTab, 70000, 70000 - 65536, false},
        {"4294967297", NumberBlanks::spaceAndTab, 2147483648, 1, true},
        {"123456789012345678901234567890", NumberBlanks::any, 2147483648, 0x0AD2, true},
    };
    for (const auto& c : cases) {
        const AddressNumber n = readAddressNumber(c.text, c.blanks);
        EXPECT_EQ(n.saturated(), c.saturated) << c.text;
        EXPECT_EQ(n.modulo16(), c.modulo16) << c.text;
        EXPECT_EQ(n.overflow, c.overflow) << c.text;
    }
}

}  // namespace
}  // namespace tvx
