// Runs a file transfer on the calling thread while a second thread shows
// its progress (TVX_GetProgress) as a bar on stderr, when stderr is a
// terminal. The bar is erased when the transfer ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tavrix.h"

namespace tvx::tool {

struct TimedResult {
    int32_t result;
    double seconds;
};

// `totalBytes` may be 0 when the size is not known beforehand.
TimedResult runWithProgress(TVX_HANDLE handle, const std::string& label, uint64_t totalBytes,
                            const std::function<int32_t()>& transfer);

}  // namespace tvx::tool
