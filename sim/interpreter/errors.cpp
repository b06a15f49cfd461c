#include "interpreter/errors.h"

#include <cmath>
#include <cstdio>

namespace tvx::sim::interp {

std::string errorLine(const Error& e) {
    return "ERROR " + std::to_string(static_cast<int>(e.kind)) + ": " + e.message + "\n";
}

std::string formatNumber(double v) {
    char text[64];
    if (!std::isfinite(v)) return "0";
    if (std::fabs(v) >= 1e15) {
        std::snprintf(text, sizeof text, "%.6g", v);
        return text;
    }
    std::snprintf(text, sizeof text, "%.4f", v);
    std::string s(text);
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

}  // namespace tvx::sim::interp
