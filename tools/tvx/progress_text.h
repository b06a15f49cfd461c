// Texts of the transfer progress display: the bar redrawn on a terminal and
// the one-line summary printed at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::tool {

// "512 B", "1.5 KiB", "3.0 MiB", "1.2 GiB".
std::string byteCount(double bytes);

// "LABEL [#######.......]  42%  1.3 MiB / 3.0 MiB  2.1 MiB/s", at most
// `columns` - 1 characters; without a known total (0) the byte counts and
// the rate are left out. `fraction` is clamped to 0..1.
std::string progressLine(std::string_view label, double fraction, uint64_t totalBytes, double seconds,
                         size_t columns);

// "LABEL: 4194304 bytes in 0.84 s (4.8 MiB/s)".
std::string transferSummary(std::string_view label, uint64_t bytes, double seconds);

}  // namespace tvx::tool
