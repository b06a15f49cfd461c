// Strict parsing of numbers and lists from the command line and the
// configuration file: the whole text must be used and the value in range.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::sim {

// Decimal, 0x hexadecimal or 0 octal, as strtoll with base 0.
bool parseInteger(std::string_view text, int64_t min, int64_t max, int64_t* out);
bool parseFloat(std::string_view text, float* out);
// A share: "0.25" or "25%"; between 0 and 1.
bool parseShare(std::string_view text, double* out);
// A list of points and ranges, such as "0,3,8-11", each below `limit`.
bool parsePointList(std::string_view text, int limit, std::vector<int>* out);
// Hexadecimal bytes, optionally separated by blanks, colons or dashes.
bool parseHexBytes(std::string_view text, size_t maxBytes, std::vector<uint8_t>* out);
std::string_view trim(std::string_view text);

}  // namespace tvx::sim
