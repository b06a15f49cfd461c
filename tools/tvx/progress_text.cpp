#include "progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tvx::tool {
namespace {

constexpr size_t kMinBar = 10;
constexpr size_t kMaxBar = 40;

}  // namespace

std::string byteCount(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    if (!std::isfinite(bytes) || bytes < 0) bytes = 0;
    size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < std::size(units)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    else
        std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
    return text;
}

std::string progressLine(std::string_view label, double fraction, uint64_t totalBytes, double seconds,
                         size_t columns) {
    if (!std::isfinite(fraction)) fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
    std::string tail = "  ";
    tail += percent;
    if (totalBytes > 0) {
        const double done = fraction * static_cast<double>(totalBytes);
        tail.append("  ").append(byteCount(done)).append(" / ").append(byteCount(static_cast<double>(totalBytes)));
        if (seconds > 0) tail.append("  ").append(byteCount(done / seconds)).append("/s");
    }
    // The bar takes what the label and the numbers leave, within limits;
    // a narrow terminal drops the label first.
    const size_t width = columns > 1 ? columns - 1 : 0;
    std::string head(label);
    if (head.size() + 1 + kMinBar + 2 + tail.size() > width) head.clear();
    const size_t used = (head.empty() ? 0 : head.size() + 1) + 2 + tail.size();
    const size_t bar = width > used ? std::min(kMaxBar, width - used) : 0;
    // Built by appending: GCC 12 at -O3 misreads chains of operator+ on
    // temporaries as overlapping copies (-Wrestrict).
    std::string line;
    if (!head.empty()) line.append(head).append(1, ' ');
    if (bar >= kMinBar || head.empty()) {
        const size_t filled = static_cast<size_t>(fraction * static_cast<double>(bar));
        line.append(1, '[').append(filled, '#').append(bar - filled, '.').append(1, ']');
    }
    line += tail;
    if (line.size() > width) line.resize(width);
    return line;
}

std::string transferSummary(std::string_view label, uint64_t bytes, double seconds) {
    char text[96];
    if (seconds > 0)
        std::snprintf(text, sizeof text, ": %llu bytes in %.2f s (%s/s)", static_cast<unsigned long long>(bytes),
                      seconds, byteCount(static_cast<double>(bytes) / seconds).c_str());
    else
        std::snprintf(text, sizeof text, ": %llu bytes", static_cast<unsigned long long>(bytes));
    return std::string(label) + text;
}

}  // namespace tvx::tool
