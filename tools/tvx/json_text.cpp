#include "json_text.h"

#include <cmath>
#include <cstdio>

#include "tavrix.h"

namespace tvx::tool {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += c;
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::add(std::string_view key, double value) {
    // JSON has no NaN or infinity.
    if (!std::isfinite(value)) return raw(key, "null");
    char number[32];
    std::snprintf(number, sizeof number, "%.9g", value);
    return raw(key, number);
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
    if (!body_.empty()) body_ += ',';
    body_ += jsonString(key);
    body_ += ':';
    body_ += json;
    return *this;
}

JsonArray& JsonArray::raw(std::string_view json) {
    if (!body_.empty()) body_ += ',';
    body_ += json;
    return *this;
}

std::string jsonError(int32_t code) {
    return JsonObject().add("code", code).add("description", TVX_DescribeResult(code)).text();
}

}  // namespace tvx::tool
