#include "monitoring/variable_text.h"

#include <charconv>
#include <cstring>

namespace tvx {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

bool parseAnswerNumber(const char* text, float* value) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // from_chars takes no sign of its own beyond a minus, and none after it.
    if (*p == '+' || *p == '-') return false;
    const char* end = p + std::strlen(p);
    float v = 0;
    const auto [stop, error] = std::from_chars(p, end, v, std::chars_format::general);
    // A number beyond a float's range counts as no number.
    if (stop == p || error != std::errc()) return false;
    *value = negative ? -v : v;
    return true;
}

}  // namespace tvx
