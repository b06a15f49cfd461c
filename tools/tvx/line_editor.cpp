#include "line_editor.h"

#include <algorithm>

namespace tvx::tool {
namespace {

constexpr char kEscape = 0x1B;
constexpr size_t kMaxParameters = 16;  // of one escape sequence; the rest is dropped

constexpr char ctrl(char letter) { return static_cast<char>(letter & 0x1F); }

}  // namespace

LineEditor::Outcome LineEditor::feed(char byte) {
    if (escape_ != Escape::none) return escapeByte(byte);
    switch (byte) {
        case kEscape:
            escape_ = Escape::escape;
            return Outcome::editing;
        case '\r':
        case '\n':
            return Outcome::accepted;
        case ctrl('C'):
            clear();
            return Outcome::cancelled;
        case ctrl('D'):
            if (line_.empty()) return Outcome::endOfInput;
            erase();
            return Outcome::editing;
        case 0x7F:
        case ctrl('H'):
            backspace();
            return Outcome::editing;
        case ctrl('A'):
            cursor_ = 0;
            return Outcome::editing;
        case ctrl('E'):
            cursor_ = line_.size();
            return Outcome::editing;
        case ctrl('B'):
            if (cursor_ > 0) --cursor_;
            return Outcome::editing;
        case ctrl('F'):
            if (cursor_ < line_.size()) ++cursor_;
            return Outcome::editing;
        case ctrl('P'):
            recall(-1);
            return Outcome::editing;
        case ctrl('N'):
            recall(+1);
            return Outcome::editing;
        case ctrl('K'):
            line_.erase(cursor_);
            return Outcome::editing;
        case ctrl('U'):
            line_.erase(0, cursor_);
            cursor_ = 0;
            return Outcome::editing;
        case ctrl('W'): {
            // The word before the cursor and the blanks after it.
            size_t start = cursor_;
            while (start > 0 && line_[start - 1] == ' ') --start;
            while (start > 0 && line_[start - 1] != ' ') --start;
            line_.erase(start, cursor_ - start);
            cursor_ = start;
            return Outcome::editing;
        }
        default:
            // Command text is ASCII; other control and non-ASCII bytes are ignored.
            if (byte >= 0x20 && byte < 0x7F) insert(byte);
            return Outcome::editing;
    }
}

LineEditor::Outcome LineEditor::escapeByte(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    // A control key ends an unfinished sequence and counts as itself, so
    // that Ctrl-C and Enter always work.
    if (b < 0x20 && byte != kEscape) {
        escape_ = Escape::none;
        return feed(byte);
    }
    switch (escape_) {
        case Escape::escape:
            if (byte == '[') {
                escape_ = Escape::csi;
                parameters_.clear();
            } else if (byte == 'O') {
                escape_ = Escape::ss3;
            } else if (byte != kEscape) {
                escape_ = Escape::none;  // Alt+key: not bound
            }
            return Outcome::editing;
        case Escape::csi:
            if (b >= 0x20 && b <= 0x3F) {
                if (parameters_.size() < kMaxParameters) parameters_ += byte;
                return Outcome::editing;
            }
            escape_ = Escape::none;
            if (b >= 0x40 && b <= 0x7E) escapeKey(byte, parameters_);
            return Outcome::editing;
        case Escape::ss3:
            escape_ = Escape::none;
            escapeKey(byte, "");
            return Outcome::editing;
        case Escape::none:
            break;
    }
    return Outcome::editing;
}

void LineEditor::escapeKey(char final, std::string_view parameters) {
    // "1;5C" (Ctrl+Right) and the like move as their plain keys do.
    const std::string_view first = parameters.substr(0, parameters.find(';'));
    switch (final) {
        case 'A': recall(-1); break;
        case 'B': recall(+1); break;
        case 'C':
            if (cursor_ < line_.size()) ++cursor_;
            break;
        case 'D':
            if (cursor_ > 0) --cursor_;
            break;
        case 'H': cursor_ = 0; break;
        case 'F': cursor_ = line_.size(); break;
        case '~':
            if (first == "1" || first == "7") cursor_ = 0;
            else if (first == "4" || first == "8") cursor_ = line_.size();
            else if (first == "3") erase();
            break;
        default: break;
    }
}

void LineEditor::insert(char c) {
    if (line_.size() >= kMaxLine) return;
    line_.insert(cursor_, 1, c);
    ++cursor_;
}

void LineEditor::backspace() {
    if (cursor_ == 0) return;
    line_.erase(--cursor_, 1);
}

void LineEditor::erase() {
    if (cursor_ < line_.size()) line_.erase(cursor_, 1);
}

void LineEditor::recall(int direction) {
    if (history_.empty()) return;
    if (historyIndex_ >= history_.size()) draft_ = line_;
    if (direction < 0 && historyIndex_ == 0) return;
    if (direction > 0 && historyIndex_ >= history_.size()) return;
    historyIndex_ = direction < 0 ? historyIndex_ - 1 : historyIndex_ + 1;
    line_ = historyIndex_ < history_.size() ? history_[historyIndex_] : draft_;
    cursor_ = line_.size();
}

std::string LineEditor::take() {
    std::string accepted = std::move(line_);
    addHistory(accepted);
    clear();
    return accepted;
}

void LineEditor::clear() {
    line_.clear();
    cursor_ = 0;
    draft_.clear();
    historyIndex_ = history_.size();
    escape_ = Escape::none;
    scroll_ = 0;
}

void LineEditor::addHistory(std::string entry) {
    if (!entry.empty() && (history_.empty() || history_.back() != entry)) {
        history_.push_back(std::move(entry));
        if (history_.size() > kMaxHistory) history_.pop_front();
    }
    historyIndex_ = history_.size();
}

std::string LineEditor::render(std::string_view prompt, size_t columns) const {
    // One column stays free so that the terminal never wraps the line.
    const size_t room = columns > prompt.size() + 2 ? columns - prompt.size() - 1 : 1;
    if (line_.size() < room) {
        scroll_ = 0;
    } else {
        if (cursor_ < scroll_) scroll_ = cursor_;
        if (cursor_ >= scroll_ + room) scroll_ = cursor_ - room + 1;
        scroll_ = std::min(scroll_, line_.size());
    }
    const std::string_view visible = std::string_view(line_).substr(scroll_, room);
    std::string out = "\r";
    out += prompt;
    out += visible;
    out += "\x1b[K";
    const size_t back = scroll_ + visible.size() - cursor_;
    if (back > 0) out += "\x1b[" + std::to_string(back) + "D";
    return out;
}

}  // namespace tvx::tool
