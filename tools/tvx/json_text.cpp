#include "json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tavrix.h"

namespace tvx::tool {

Json jsonText(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (b >> 6));
            utf8 += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return utf8;
}

Json jsonNumber(double value, int significant) {
    if (!std::isfinite(value)) return nullptr;
    char t[40];
    std::snprintf(t, sizeof t, "%.*g", significant, value);
    return std::strtod(t, nullptr);
}

Json jsonError(int32_t code) { return {{"code", code}, {"description", jsonText(TVX_DescribeResult(code))}}; }

std::string jsonLine(const Json& value) { return value.dump(-1, ' ', true); }

}  // namespace tvx::tool
