#include "items.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tvx::gateway {
namespace {

constexpr uint32_t kMaxColumns = 256;
constexpr uint64_t kMaxElements = 64;
constexpr size_t kMaxNameLength = 47;  // the library refuses names of 48 characters

bool isNameChar(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (!first && c >= '0' && c <= '9');
}

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; }

// Digits at `i` (blanks around allowed) as a number up to `max`.
bool readNumber(std::string_view text, size_t& i, uint64_t max, uint64_t* v) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    uint64_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        n = n * 10 + static_cast<uint64_t>(text[i] - '0');
        if (n > max) return false;
        ++i;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    *v = n;
    return i > start;
}

}  // namespace

bool parseColumns(std::string_view text, std::vector<Column>* columns, std::string* why, size_t* items) {
    size_t i = 0, itemsSeen = 0;
    while (true) {
        while (i < text.size() && isSeparator(text[i])) ++i;
        if (i == text.size()) break;
        if (!isNameChar(text[i], true)) {
            *why = "a name was expected at '" + std::string(text.substr(i, 10)) + "'";
            return false;
        }
        const size_t start = i;
        while (i < text.size() && isNameChar(text[i], false)) ++i;
        const std::string name(text.substr(start, i - start));
        ++itemsSeen;
        if (name.size() > kMaxNameLength) {
            *why = "the name " + name.substr(0, 16) + "... is longer than 47 characters";
            return false;
        }
        uint64_t first = 0, count = 1;
        while (i < text.size() && text[i] == ' ') ++i;
        const bool indexed = i < text.size() && text[i] == '(';
        if (indexed) {
            ++i;
            bool ok = readNumber(text, i, 0xFFFFFFFFu, &first);
            if (ok && i < text.size() && text[i] == ',') ok = readNumber(text, ++i, kMaxElements, &count);
            if (!ok || count == 0 || i >= text.size() || text[i] != ')' || first + count - 1 > 0xFFFFFFFFu) {
                *why = name + " needs (FIRST) or (FIRST,COUNT), COUNT 1-64";
                return false;
            }
            ++i;
        }
        for (uint64_t k = 0; k < count; ++k) {
            if (columns->size() == kMaxColumns) {
                *why = "at most 256 values";
                return false;
            }
            const uint32_t index = static_cast<uint32_t>(first + k);
            columns->push_back({name, index, indexed, indexed ? name + "(" + std::to_string(index) + ")" : name});
        }
    }
    if (columns->empty()) {
        *why = "names no value";
        return false;
    }
    if (items) *items = itemsSeen;
    return true;
}

bool parseTarget(std::string_view text, Target* target) {
    size_t i = 0;
    if (text.empty() || !isNameChar(text[0], true)) return false;
    while (i < text.size() && isNameChar(text[i], false)) ++i;
    if (i > kMaxNameLength) return false;
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
