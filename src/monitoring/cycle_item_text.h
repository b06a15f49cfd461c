// The reader of a cycle-upload item text: the names of the values a host
// asks the controller to push, each with an optional start index in
// parentheses ("VR(10) , DPOS(0) IN(0)"). The controller receives the text
// unchanged and reads the rest of it by its own rules; the library only
// needs the names and start indexes, in order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

inline constexpr size_t kItemNameCapacity = 48;  // 47 characters and the terminator

// Results of the reader besides 0 (an item was read).
namespace item_text {
inline constexpr int32_t nameTooLong = 3201;   // a name of 48 characters or more
inline constexpr int32_t endOfText = 3202;     // no further item: not an error
inline constexpr int32_t unexpected = 3203;    // a character that cannot start a name
}  // namespace item_text

struct TextCursor {
    const char* start;
    const char* position;
};

struct ItemText {
    char name[kItemNameCapacity];  // as written, terminated
    int32_t start;                 // 0 without a parenthesised number
};

inline TextCursor beginItemText(const char* text) { return TextCursor{text, text}; }

// Reads the next item: 0 with `*item` filled, item_text::endOfText when the
// text holds no further item, or an error code. Never reads past the
// text's terminating 0 byte.
int32_t readItem(TextCursor& cursor, ItemText* item);

}  // namespace tvx
