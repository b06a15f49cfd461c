// Strict parsing of tvx's numeric arguments and addresses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::tool {

// Decimal digits only (or 0x... when `allowHex`), within [min, max].
bool parseUnsigned(std::string_view text, uint64_t max, uint64_t* out, bool allowHex = false);
// "N" or "N-M" with N <= M <= max.
bool parseRange(std::string_view text, uint32_t max, uint32_t* first, uint32_t* last);
bool parseNumber(std::string_view text, double* out);
// A controller address: dotted IPv4, optionally ":port", or a serial port
// "COMn" (n from 1 to 1024, any case).
bool isControllerAddress(std::string_view text);
// The port number of a serial address "COMn"; false for any other text.
bool parseSerialAddress(std::string_view text, uint32_t* port);

}  // namespace tvx::tool
