// The interpreter's built-in functions of one argument.
#pragma once

#include <string_view>

#include "interpreter/errors.h"

namespace tvx::sim::interp {

// Result of a function; `error` set when the argument is outside its domain.
using BuiltinFn = double (*)(double x, ErrorKind* error);

// The function of an upper-case name, or null.
BuiltinFn findFunction(std::string_view upperName);

}  // namespace tvx::sim::interp
