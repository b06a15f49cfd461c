// Reading a number out of the controller's answer to a query text.
#pragma once

namespace tvx {

// Parses the number at the start of `text` (a NUL-terminated answer), as a
// "%f" conversion reads it: leading white space is skipped, an optional
// sign, then a decimal number (or inf/nan); whatever follows is ignored.
// It does not depend on the process locale. False when no number starts
// there or it lies beyond a float's range; `*value` is then untouched.
bool parseAnswerNumber(const char* text, float* value);

}  // namespace tvx
