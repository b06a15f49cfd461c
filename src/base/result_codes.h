// Result codes used inside the library: the rows of result_codes.def under
// C++ names, so that logic never compares bare numbers.
#pragma once

#include <cstdint>

#include "tavrix.h"

namespace tvx::rc {

#define TVX_RESULT(name, internal, code, tableText, ownText, note) inline constexpr int32_t internal = code;
#define TVX_RESULT_CONSTANT(name, internal, value, note) inline constexpr int32_t internal = value;
#include "base/result_codes.def"

// setDebugLevel while the level is above 3 (the same value as discoveryArgument).
inline constexpr int32_t debugLevelState = discoveryArgument;

}  // namespace tvx::rc
