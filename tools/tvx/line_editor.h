// The line editing of 'tvx term': key bytes in, an edited line and its
// history out. No terminal access here; the caller reads the bytes and
// writes what render() returns.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace tvx::tool {

class LineEditor {
public:
    enum class Outcome {
        editing,     // keep feeding bytes
        accepted,    // Enter: take() the line
        cancelled,   // Ctrl-C: the line was cleared
        endOfInput,  // Ctrl-D on an empty line
    };

    static constexpr size_t kMaxLine = 4096;     // longer input is ignored
    static constexpr size_t kMaxHistory = 500;

    // One input byte; escape sequences (arrows, Home/End, Delete) arrive a
    // byte at a time and take effect at their last byte.
    Outcome feed(char byte);

    // The accepted line; it enters the history (not when empty or equal to
    // the newest entry) and the editor starts a new empty line.
    std::string take();
    // Starts a new empty line, leaving the history alone.
    void clear();

    const std::string& line() const { return line_; }
    size_t cursor() const { return cursor_; }
    const std::deque<std::string>& history() const { return history_; }
    void addHistory(std::string entry);

    // Redraws the line in place: carriage return, prompt, the visible part
    // of the line, erase to the end of the screen line, cursor placed.
    // Lines wider than `columns` scroll sideways to keep the cursor visible.
    std::string render(std::string_view prompt, size_t columns) const;

private:
    void insert(char c);
    void backspace();
    void erase();  // the character under the cursor
    void recall(int direction);
    Outcome escapeByte(char byte);
    void escapeKey(char final, std::string_view parameters);

    enum class Escape { none, escape, csi, ss3 };

    std::string line_;
    size_t cursor_ = 0;
    std::deque<std::string> history_;
    size_t historyIndex_ = 0;  // == history_.size() while editing a new line
    std::string draft_;        // the new line, kept while browsing history
    Escape escape_ = Escape::none;
    std::string parameters_;   // of the CSI sequence being read
    mutable size_t scroll_ = 0; // first line character on screen
};

}  // namespace tvx::tool
