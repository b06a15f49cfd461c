// The library's debug output: formatted lines of at most 127 characters
// written to the operating system's debugger output, filtered by a level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

namespace tvx {

// Where a refusal is made: the signature of the calling function. Compilers
// whose standard library lacks std::source_location (clang 14 with GCC 12's
// library) give the function's plain name through the builtin instead.
#if defined(__cpp_lib_source_location)
using CallSite = std::source_location;
#else
struct CallSite {
    const char* name = "";
    static constexpr CallSite current(const char* function = __builtin_FUNCTION()) { return CallSite{function}; }
    constexpr const char* function_name() const { return name; }
};
#endif

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

// Refuses a call: writes "<function>: refused with <code>: <reason>" as a
// debug line (so to the debug output and the trace hook) and returns `code`.
// A caller who gets 20002 switches on the debug output and reads which
// argument was wrong. `where` defaults to the refusing function.
int32_t refuse(int32_t code, const char* reason, CallSite where = CallSite::current());
// The bare function name of a compiler's function signature text: "TVX_GetState"
// of "int32_t TVX_GetState(TVX_HANDLE, uint8_t*)" or of a lambda inside it.
struct NameSpan {
    const char* begin;
    int length;
};
NameSpan functionName(const char* signature);
// While one lives, refusals on its thread also name the export it was made
// for, so that a refusal in a shared request function says whose it is.
class RefusalContext {
public:
    explicit RefusalContext(CallSite where);
    ~RefusalContext();
    RefusalContext(const RefusalContext&) = delete;
    RefusalContext& operator=(const RefusalContext&) = delete;

private:
    const char* previous_;
};

namespace platform {
// Writes one line to the operating system's debugger output (Windows:
// OutputDebugStringA; Linux: standard error when TAVRIX_DEBUG is set).
// Each platform backend supplies it.
void debuggerOutput(const char* line);
}  // namespace platform

}  // namespace tvx
