// Hashes recorded beside prepared member files, and the compaction of BASIC
// text. Both hashes wrap modulo 2^32 and take every byte as a signed 8-bit
// value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

// h = h * 5 + byte over every byte.
uint32_t stringHash(const uint8_t* data, size_t length);

// A hash of BASIC text that ignores what compaction removes (CRs, leading
// blanks, blank runs, comments) and treats tab and space alike. Stops early
// at a zero byte.
uint32_t sourceHash(const uint8_t* text, size_t length);

// Compacts BASIC text in place and returns the new length: drops CRs,
// leading blanks of each line, all but the first blank of a run and '
// comments; text in double quotes is untouched. Stops at a zero byte. A zero
// byte is written after the result when it is shorter than the input.
size_t compactBasicText(uint8_t* text, size_t length);

}  // namespace tvx
