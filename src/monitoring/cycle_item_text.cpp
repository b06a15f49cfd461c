#include "monitoring/cycle_item_text.h"

namespace tvx {
namespace {

inline constexpr size_t kNumberCapacity = 32;  // 31 characters of a start index
// How far the reader looks for the closing parenthesis of an item.
inline constexpr size_t kParenthesisScanLimit = 10241;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsName(char c) { return isLetter(c) || c == '_'; }
bool continuesName(char c) { return startsName(c) || isDigit(c); }

// Skips blanks and continuation marks: an underscore followed by a blank or
// a line break counts as a blank, and so does the first line break after
// it (with only blanks between). A line break without a mark stays.
const char* skipBlanks(const char* p) {
    bool continued = false;
    for (;;) {
        if (isBlank(*p)) {
            ++p;
        } else if (*p == '_' && (isBlank(p[1]) || p[1] == '\n')) {
            continued = true;
            ++p;
        } else if (*p == '\n' && continued) {
            continued = false;
            ++p;
        } else {
            return p;
        }
    }
}

// Decimal prefix conversion of the number text: an optional minus sign and
// digits; a fraction ends it. Kept modulo 2^32.
int32_t numberValue(const char* text, size_t n) {
    size_t i = 0;
    const bool negative = n > 0 && text[0] == '-';
    if (negative) ++i;
    uint32_t v = 0;
    for (; i < n && isDigit(text[i]); ++i) v = v * 10u + static_cast<uint32_t>(text[i] - '0');
    return static_cast<int32_t>(negative ? 0u - v : v);
}

// Reads the parenthesised part after its '(' and returns the position past
// its ')' (or at the text's end). Only a leading number counts; anything
// malformed or too long gives 0.
const char* readParenthesised(const char* p, int32_t* start) {
    *start = 0;
    if (isDigit(*p) || *p == '-') {
        size_t n = 1;
        while (isDigit(p[n]) || p[n] == '.') ++n;
        if (n < kNumberCapacity) *start = numberValue(p, n);
    }
    for (size_t scanned = 0; *p != 0 && scanned < kParenthesisScanLimit; ++scanned) {
        if (*p++ == ')') break;
    }
    return p;
}

}  // namespace

int32_t readItem(TextCursor& cursor, ItemText* item) {
    const char* p = skipBlanks(cursor.position);
    if (*p == 0) {
        cursor.position = p;
        return item_text::endOfText;
    }
    if (!startsName(*p)) {
        cursor.position = p;
        return item_text::unexpected;
    }
    size_t n = 0;
    while (continuesName(p[n])) {
        if (n + 1 >= kItemNameCapacity) {
            cursor.position = p + n;
            return item_text::nameTooLong;
        }
        item->name[n] = p[n];
        ++n;
    }
    item->name[n] = 0;
    item->start = 0;
    p = skipBlanks(p + n);
    if (*p == '(') p = skipBlanks(readParenthesised(p + 1, &item->start));
    if (*p == ',') ++p;
    cursor.position = p;
    return 0;
}

}  // namespace tvx
