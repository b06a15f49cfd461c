#include "items.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tvx::gateway {

bool parseTarget(std::string_view text, Target* target) {
    size_t i = 0;
    if (text.empty() || !tool::isItemNameChar(text[0], true)) return false;
    while (i < text.size() && tool::isItemNameChar(text[i], false)) ++i;
    if (i > tool::kMaxItemNameLength) return false;
    target->name = std::string(text.substr(0, i));
    target->key.clear();
    for (char c : target->name) target->key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    target->element = false;
    target->index = 0;
    if (i == text.size()) return true;
    if (text[i] != '(' || text.back() != ')' || text.size() - i < 3) return false;
    uint64_t n = 0;
    for (size_t k = i + 1; k + 1 < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
        n = n * 10 + static_cast<uint64_t>(text[k] - '0');
        if (n > 0x7FFFFFFF) return false;
    }
    target->index = static_cast<uint32_t>(n);
    target->element = true;
    target->key.append("(").append(std::to_string(n)).append(")");
    return true;
}

bool parseNumberPayload(std::string_view text, double* value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 64) return false;
    // Only the characters of a decimal number: strtod alone would also take
    // "nan", "inf" and hexadecimal forms.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

std::string jsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char t[32];
    if (v == std::floor(v) && std::fabs(v) < 9007199254740992.0)
        std::snprintf(t, sizeof t, "%.0f", v);
    else
        std::snprintf(t, sizeof t, "%.10g", v);
    return t;
}

}  // namespace tvx::gateway
