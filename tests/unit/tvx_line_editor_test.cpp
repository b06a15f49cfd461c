// The line editor of 'tvx term': key bytes to line, cursor, history and
// the redrawn text.
#include <gtest/gtest.h>

#include <string>

#include "tvx/line_editor.h"

namespace {

using tvx::tool::LineEditor;
using Outcome = LineEditor::Outcome;

Outcome type(LineEditor& e, const std::string& keys) {
    Outcome last = Outcome::editing;
    for (char c : keys) last = e.feed(c);
    return last;
}

struct EditCase {
    const char* name;
    std::string keys;
    std::string line;
    size_t cursor;
};

TEST(TvxLineEditor, KeysEditTheLine) {
    const std::string left = "\x1b[D", right = "\x1b[C", home = "\x1b[H", end = "\x1b[F", del = "\x1b[3~";
    const EditCase cases[] = {
        {"plain text", "abc", "abc", 3},
        {"insert after left arrows", "abc" + left + left + "X", "aXbc", 2},
        {"home then insert", "abc" + home + "X", "Xabc", 1},
        {"end after home", "abc" + home + end, "abc", 3},
        {"home and end, application mode", "abc\x1bOH", "abc", 0},
        {"home and end, vt forms", "abc\x1b[1~X\x1b[4~Y\x1b[7~Z\x1b[8~", "ZXabcY", 6},
        {"left and right stop at the ends", "ab" + right + right + home + left + left, "ab", 0},
        {"ctrl+arrow moves like the arrow", "ab\x1b[1;5D", "ab", 1},
        {"backspace (DEL and BS)", "abcd\x7f\x08", "ab", 2},
        {"backspace at the start does nothing", "abc" + home + "\x7f", "abc", 0},
        {"delete under the cursor", "abc" + home + del, "bc", 0},
        {"delete at the end does nothing", "abc" + del, "abc", 3},
        {"ctrl-d deletes under the cursor", "abc\x01\x04", "bc", 0},
        {"emacs keys move", "abc\x02\x02X\x06Y\x01Z\x05W", "ZaXbYcW", 7},
        {"ctrl-u deletes to the start", "abcd\x02\x02\x15", "cd", 0},
        {"ctrl-k deletes to the end", "abcd\x02\x02\x0b", "ab", 2},
        {"ctrl-w deletes the word before", "PRINT abc  \x17", "PRINT ", 6},
        {"unknown sequences are swallowed", "a\x1b[2Jb\x1b[99Zc\x1bOXd", "abcd", 4},
        {"overlong parameters are swallowed", "a\x1b[" + std::string(200, '1') + "Cb", "ab", 2},
        {"alt+key is ignored", "a\x1bxb", "ab", 2},
        {"tab and non-ASCII bytes are ignored", "a\t\xc3\xa9" "b", "ab", 2},
        {"ctrl-c inside a sequence ends it", "a\x1b[\x03", "", 0},
    };
    for (const EditCase& c : cases) {
        LineEditor e;
        type(e, c.keys);
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_EQ(e.cursor(), c.cursor) << c.name;
    }
}

TEST(TvxLineEditor, OutcomesOfEnterCtrlCAndCtrlD) {
    LineEditor e;
    EXPECT_EQ(type(e, "?1+2\r"), Outcome::accepted);
    EXPECT_EQ(e.take(), "?1+2");
    EXPECT_EQ(e.line(), "");
    EXPECT_EQ(type(e, "x\n"), Outcome::accepted);
    e.take();

    EXPECT_EQ(type(e, "garbage\x03"), Outcome::cancelled);
    EXPECT_EQ(e.line(), "");
    EXPECT_EQ(e.cursor(), 0u);

    EXPECT_EQ(type(e, "a\x04"), Outcome::editing);  // not empty: deletes instead
    EXPECT_EQ(type(e, "\x7f\x04"), Outcome::endOfInput);
    EXPECT_EQ(e.history(), (std::deque<std::string>{"?1+2", "x"}));  // the cancelled line is not kept
}

TEST(TvxLineEditor, HistoryRecallKeepsTheDraftAndTheEntries) {
    LineEditor e;
    for (const char* line : {"one", "two", "two", "", "three"}) {
        type(e, line);
        type(e, "\r");
        e.take();
    }
    ASSERT_EQ(e.history(), (std::deque<std::string>{"one", "two", "three"}));

    const std::string up = "\x1b[A", down = "\x1b[B";
    type(e, "dra");
    type(e, up);
    EXPECT_EQ(e.line(), "three");
    EXPECT_EQ(e.cursor(), 5u);
    type(e, up + up + up + "\x1bOA");  // stops at the oldest
    EXPECT_EQ(e.line(), "one");
    type(e, "!");  // editing a recalled line leaves the entry alone
    type(e, down);
    EXPECT_EQ(e.line(), "two");
    type(e, "\x0e\x0e\x0e");  // ctrl-n past the newest: the draft again
    EXPECT_EQ(e.line(), "dra");
    EXPECT_EQ(e.history(), (std::deque<std::string>{"one", "two", "three"}));

    type(e, "\x10");
    EXPECT_EQ(type(e, "\r"), Outcome::accepted);
    EXPECT_EQ(e.take(), "three");
    EXPECT_EQ(e.history().size(), 3u);  // same as the newest: not repeated
    type(e, up);
    EXPECT_EQ(e.line(), "three");
}

TEST(TvxLineEditor, LineAndHistoryAreBounded) {
    LineEditor e;
    type(e, std::string(LineEditor::kMaxLine + 100, 'x'));
    EXPECT_EQ(e.line().size(), LineEditor::kMaxLine);
    e.clear();
    for (size_t i = 0; i < LineEditor::kMaxHistory + 20; ++i) e.addHistory("line " + std::to_string(i));
    EXPECT_EQ(e.history().size(), LineEditor::kMaxHistory);
    EXPECT_EQ(e.history().front(), "line 20");
}

// Splits a rendered line into what is shown and the cursor's column.
struct Screen {
    std::string shown;
    size_t cursorColumn;
};

Screen screenOf(const std::string& out, const std::string& prompt) {
    EXPECT_EQ(out.substr(0, 1 + prompt.size()), "\r" + prompt);
    const size_t erase = out.find("\x1b[K");
    EXPECT_NE(erase, std::string::npos);
    Screen s{out.substr(1 + prompt.size(), erase - 1 - prompt.size()), 0};
    size_t back = 0;
    const std::string rest = out.substr(erase + 3);
    if (!rest.empty()) {
        EXPECT_EQ(rest.substr(0, 2), "\x1b[");
        EXPECT_EQ(rest.back(), 'D');
        back = std::stoul(rest.substr(2));
    }
    s.cursorColumn = prompt.size() + s.shown.size() - back;
    return s;
}

TEST(TvxLineEditor, RenderPlacesTheCursor) {
    LineEditor e;
    type(e, "abcd\x1b[D");
    EXPECT_EQ(e.render(">> ", 80), "\r>> abcd\x1b[K\x1b[1D");
    type(e, "\x1b[F");
    EXPECT_EQ(e.render(">> ", 80), "\r>> abcd\x1b[K");
}

TEST(TvxLineEditor, LongLinesScrollToKeepTheCursorVisible) {
    const std::string prompt = ">> ";
    const size_t columns = 20;
    std::string text;
    for (int i = 0; i < 50; ++i) text += static_cast<char>('a' + i % 26);
    LineEditor e;
    type(e, text);
    // Walk the cursor to the start and back: at every step the shown part
    // fits, is a piece of the line, and the cursor sits on its character.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t step = 0; step <= text.size(); ++step) {
            const Screen s = screenOf(e.render(prompt, columns), prompt);
            ASSERT_LT(prompt.size() + s.shown.size(), columns);
            ASSERT_LT(s.cursorColumn, columns);
            const size_t first = e.cursor() - (s.cursorColumn - prompt.size());
            ASSERT_EQ(text.substr(first, s.shown.size()), s.shown) << "cursor " << e.cursor();
            type(e, pass == 0 ? "\x1b[D" : "\x1b[C");
        }
    }
    EXPECT_EQ(e.cursor(), text.size());
}

}  // namespace
