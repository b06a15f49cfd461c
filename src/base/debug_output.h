// The library's debug output: formatted lines of at most 127 characters
// written to the operating system's debugger output, filtered by a level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

inline constexpr uint8_t kDefaultDebugLevel = 3;
inline constexpr uint8_t kLoadDebugLevel = 2;
inline constexpr size_t kDebugLineChars = 127;

// Resets the output to its load state: level 3, enabled.
void initDebugOutput();
// Announces and stores a new level; 3206 (nothing changes) when the current
// level is above 3.
int32_t setDebugLevel(uint8_t level);
uint8_t debugLevel();
// Formats one line (cut to 127 characters) and writes it when the level is
// not 0. Each call formats into its own buffer: safe from any thread.
void debugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

namespace platform {
// Writes one line to the operating system's debugger output (Windows:
// OutputDebugStringA; Linux: standard error when TAVRIX_DEBUG is set).
// Each platform backend supplies it.
void debuggerOutput(const char* line);
}  // namespace platform

}  // namespace tvx
