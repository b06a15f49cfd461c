// Bounded text copies used for fixed-width text fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

// Copies characters up to the first 0 byte (at most `width`, and never more
// than `available` source bytes) and fills the rest of the `width` positions
// with 0 bytes. No terminator is written when the text fills the field.
inline void copyBoundedText(char* dest, size_t width, const uint8_t* src, size_t available) {
    size_t i = 0;
    for (; i < width && i < available && src[i] != 0; ++i) dest[i] = static_cast<char>(src[i]);
    for (; i < width; ++i) dest[i] = 0;
}

// Copies at most `capacity - 1` characters of a NUL-terminated text and
// always terminates (when capacity > 0). Returns the count copied.
inline size_t copyTerminated(char* dest, size_t capacity, const char* src) {
    if (capacity == 0) return 0;
    size_t i = 0;
    for (; i + 1 < capacity && src[i] != 0; ++i) dest[i] = src[i];
    dest[i] = 0;
    return i;
}

}  // namespace tvx
