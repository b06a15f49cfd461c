// The item texts of the configuration and of request topics: cycle-upload
// columns (read as tvx watch reads them) and the single values a write may
// name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/item_columns.h"

namespace tvx::gateway {

// The values of a cycle upload or a poll, labelled as they are published.
using tool::Column;
using tool::parseColumns;

// One writable value: NAME or NAME(INDEX). `key` is the upper-case
// canonical form ("VR(5)") used to compare topics with the allowlist,
// since the controller reads names in any letter case.
struct Target {
    std::string name;
    uint32_t index = 0;
    bool element = false;
    std::string key;
};

// NAME (letters, digits, '_', starting with a letter or '_', at most 47
// characters) or NAME(INDEX) with INDEX 0-2147483647. No blanks.
bool parseTarget(std::string_view text, Target* target);

// A request payload that must be one number: optional blanks around a
// finite decimal number, nothing else.
bool parseNumberPayload(std::string_view text, double* value);

// The number as published: integers without a fraction, others with ten
// significant digits; "null" for NaN and infinities (JSON has neither).
std::string jsonNumber(double v);

}  // namespace tvx::gateway
