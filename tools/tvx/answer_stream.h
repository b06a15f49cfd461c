// Runs one command line on the controller's interpreter and hands its answer
// on piece by piece as it arrives, for 'tvx term'.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tavrix.h"

namespace tvx::tool {

struct StreamHooks {
    std::function<void(std::string_view)> text;  // each piece of answer text
    // Called while no text arrives, in place of a short pause (about 10 ms);
    // true stops waiting for the rest of the answer.
    std::function<bool()> idle;
};

// TVX_OK when the command finished; TVX_ERR_TIME_LIMIT when the controller
// stayed silent for `limitMs` (waiting for an earlier command, or between
// answer pieces); kStreamStopped when idle() asked to stop; otherwise the
// library's result.
inline constexpr int32_t kStreamStopped = -1000000;
int32_t streamCommand(TVX_HANDLE h, const std::string& text, uint32_t limitMs, const StreamHooks& hooks);

}  // namespace tvx::tool
