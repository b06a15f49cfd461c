#include "server/text_values.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tvx::sim {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool parseInteger(std::string_view text, int64_t min, int64_t max, int64_t* out) {
    const std::string s(trim(text));
    if (s.empty() || s.size() > 64) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno != 0 || end != s.c_str() + s.size() || v < min || v > max) return false;
    *out = v;
    return true;
}

bool parseFloat(std::string_view text, float* out) {
    const std::string s(trim(text));
    if (s.empty() || s.size() > 64) return false;
    errno = 0;
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parseShare(std::string_view text, double* out) {
    std::string s(trim(text));
    const bool percent = !s.empty() && s.back() == '%';
    if (percent) s.pop_back();
    if (s.empty() || s.size() > 64) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    if (percent) v /= 100.0;
    if (v < 0.0 || v > 1.0) return false;
    *out = v;
    return true;
}

bool parsePointList(std::string_view text, int limit, std::vector<int>* out) {
    std::vector<int> points;
    text = trim(text);
    if (text.empty()) {
        out->clear();
        return true;
    }
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view item = trim(text.substr(0, comma));
        const size_t dash = item.find('-', 1);
        int64_t first = 0, last = 0;
        if (dash == std::string_view::npos) {
            if (!parseInteger(item, 0, limit - 1, &first)) return false;
            last = first;
        } else if (!parseInteger(item.substr(0, dash), 0, limit - 1, &first) ||
                   !parseInteger(item.substr(dash + 1), first, limit - 1, &last)) {
            return false;
        }
        for (int64_t p = first; p <= last; ++p) points.push_back(static_cast<int>(p));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    *out = std::move(points);
    return true;
}

bool parseHexBytes(std::string_view text, size_t maxBytes, std::vector<uint8_t>* out) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if ((c == ' ' || c == ':' || c == '-' || c == '\t') && high < 0)
            continue;
        else
            return false;
        if (high < 0) {
            high = v;
            continue;
        }
        if (bytes.size() == maxBytes) return false;
        bytes.push_back(static_cast<uint8_t>(high << 4 | v));
        high = -1;
    }
    if (high >= 0) return false;
    *out = std::move(bytes);
    return true;
}

}  // namespace tvx::sim
