// The item text of a cycle upload as tvx watch and the gateway read it:
// "NAME NAME(FIRST) NAME(FIRST,COUNT) ...", one column per value. The
// library and the controller read the text themselves; the tools read it
// to label what comes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::tool {

inline constexpr uint32_t kMaxItemColumns = 256;
inline constexpr uint64_t kMaxItemElements = 64;
inline constexpr size_t kMaxItemNameLength = 47;  // the library refuses names of 48 characters

// One value: NAME with an element index, and the label it is shown under
// ("VR(3)", or "TICKS" for an item given without parentheses).
struct Column {
    std::string name;
    uint32_t index = 0;
    bool indexed = false;
    std::string label;
};

inline bool isItemNameChar(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (!first && c >= '0' && c <= '9');
}

namespace item_text {

inline bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; }

// Digits at `i` (blanks around allowed) as a number up to `max`.
inline bool readNumber(std::string_view text, size_t& i, uint64_t max, uint64_t* v) {
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

}  // namespace item_text

// Reads the item text (blanks, tabs, commas or line ends between items;
// COUNT 1-64; at most 256 values; indexes within 32 bits). False with the
// reason. `items` (optional) receives the number of items: NAME(0,4) is
// one item of four values.
inline bool parseColumns(std::string_view text, std::vector<Column>* columns, std::string* why,
                         size_t* items = nullptr) {
    using item_text::readNumber;
    size_t i = 0, itemsSeen = 0;
    while (true) {
        while (i < text.size() && item_text::isSeparator(text[i])) ++i;
        if (i == text.size()) break;
        if (!isItemNameChar(text[i], true)) {
            *why = "a name was expected at '" + std::string(text.substr(i, 10)) + "'";
            return false;
        }
        const size_t start = i;
        while (i < text.size() && isItemNameChar(text[i], false)) ++i;
        const std::string name(text.substr(start, i - start));
        ++itemsSeen;
        if (name.size() > kMaxItemNameLength) {
            *why = "the name " + name.substr(0, 16) + "... is longer than 47 characters";
            return false;
        }
        uint64_t first = 0, count = 1;
        while (i < text.size() && text[i] == ' ') ++i;
        const bool indexed = i < text.size() && text[i] == '(';
        if (indexed) {
            ++i;
            bool ok = readNumber(text, i, 0xFFFFFFFFu, &first);
            if (ok && i < text.size() && text[i] == ',') ok = readNumber(text, ++i, kMaxItemElements, &count);
            // The last index must fit too: past it the labels would wrap to 0.
            if (!ok || count == 0 || i >= text.size() || text[i] != ')' || first + count - 1 > 0xFFFFFFFFu) {
                *why = name + " needs (FIRST) or (FIRST,COUNT), COUNT 1-64";
                return false;
            }
            ++i;
        }
        for (uint64_t k = 0; k < count; ++k) {
            if (columns->size() == kMaxItemColumns) {
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

}  // namespace tvx::tool
