#include "args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tvx::tool {

bool parseUnsigned(std::string_view text, uint64_t max, uint64_t* out, bool allowHex) {
    int base = 10;
    if (allowHex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (v > (max - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    *out = v;
    return true;
}

bool parseRange(std::string_view text, uint32_t max, uint32_t* first, uint32_t* last) {
    const size_t dash = text.find('-');
    uint64_t a, b;
    if (dash == std::string_view::npos) {
        if (!parseUnsigned(text, max, &a)) return false;
        b = a;
    } else if (!parseUnsigned(text.substr(0, dash), max, &a) || !parseUnsigned(text.substr(dash + 1), max, &b) || b < a) {
        return false;
    }
    *first = static_cast<uint32_t>(a);
    *last = static_cast<uint32_t>(b);
    return true;
}

bool parseNumber(std::string_view text, double* out) {
    if (text.empty() || text.size() > 64) return false;
    const std::string s(text);
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool parseSerialAddress(std::string_view text, uint32_t* port) {
    if (text.size() < 4) return false;
    for (size_t i = 0; i < 3; ++i)
        if ((text[i] | 0x20) != "com"[i]) return false;
    uint64_t n;
    if (!parseUnsigned(text.substr(3), 1024, &n) || n == 0) return false;
    *port = static_cast<uint32_t>(n);
    return true;
}

bool isControllerAddress(std::string_view text) {
    uint32_t port;
    if (parseSerialAddress(text, &port)) return true;
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        uint64_t port;
        const std::string_view p = text.substr(colon + 1);
        if (!p.empty() && !parseUnsigned(p, 65535, &port)) return false;
        text = text.substr(0, colon);
    }
    int parts = 0;
    while (true) {
        const size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        uint64_t v;
        if (part.size() > 3 || !parseUnsigned(part, 255, &v)) return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts == 4;
}

}  // namespace tvx::tool
