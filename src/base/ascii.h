// ASCII case folding. Controller names, file types and keys compare
// without regard to case in ASCII only: bytes above 127 stay as they are,
// whatever the host's locale says.
#pragma once

#include <cstddef>

namespace tvx {

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The value of a hexadecimal digit in either case, or -1.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// True when `text` begins with `prefix`, ignoring ASCII case.
inline bool startsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (lowerAscii(*text) != lowerAscii(*prefix)) return false;
    return true;
}

// True when the two texts are equal, ignoring ASCII case.
inline bool equalsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (lowerAscii(*a) != lowerAscii(*b)) return false;
    return *a == *b;
}

// Folds `n` characters in place.
inline void lowerAsciiInPlace(char* text, size_t n) {
    for (size_t i = 0; i < n; ++i) text[i] = lowerAscii(text[i]);
}
inline void upperAsciiInPlace(char* text, size_t n) {
    for (size_t i = 0; i < n; ++i) text[i] = upperAscii(text[i]);
}

}  // namespace tvx
