#include "line_input.h"

#include <cstdio>
#include <utility>

#if TVX_HAVE_LIBEDIT

#include <histedit.h>

#include <cstdio>
#include <cstdlib>

namespace tvx::tool {

namespace {
constexpr int kHistorySize = 500;
}

LineInput::LineInput(std::string historyPath) : historyPath_(std::move(historyPath)) {
    editor_ = el_init("tvx", stdin, stdout, stderr);
    if (!editor_) return;
    history_ = history_init();
    HistEvent event;
    if (history_) {
        history(history_, &event, H_SETSIZE, kHistorySize);
        history(history_, &event, H_SETUNIQUE, 1);
        if (!historyPath_.empty()) history(history_, &event, H_LOAD, historyPath_.c_str());
        el_set(editor_, EL_HIST, history, history_);
    }
    el_set(editor_, EL_CLIENTDATA, this);
    el_set(editor_, EL_PROMPT, &LineInput::promptText);
    el_set(editor_, EL_EDITOR, "emacs");
    // libedit puts the terminal back in order when a signal ends the process.
    el_set(editor_, EL_SIGNAL, 1);
    // Ctrl-C is a key while editing (it clears the line), not a signal.
    el_set(editor_, EL_SETTY, "-d", "-isig", nullptr);
    el_set(editor_, EL_ADDFN, "tvx-cancel", "clear the line", &LineInput::cancelLine);
    el_set(editor_, EL_BIND, "^C", "tvx-cancel", nullptr);
    el_set(editor_, EL_BIND, "^R", "em-inc-search-prev", nullptr);
    // Home, End and Delete as the common terminals send them.
    for (const char* home : {"\\e[H", "\\eOH", "\\e[1~", "\\e[7~"}) el_set(editor_, EL_BIND, home, "ed-move-to-beg", nullptr);
    for (const char* end : {"\\e[F", "\\eOF", "\\e[4~", "\\e[8~"}) el_set(editor_, EL_BIND, end, "ed-move-to-end", nullptr);
    el_set(editor_, EL_BIND, "\\e[3~", "ed-delete-next-char", nullptr);
    // The user's own bindings (~/.editrc) come last and win.
    el_source(editor_, nullptr);
}

LineInput::~LineInput() {
    if (editor_) el_end(editor_);
    if (history_) history_end(history_);
}

char* LineInput::promptText(EditLine* editor) {
    LineInput* self = nullptr;
    el_get(editor, EL_CLIENTDATA, &self);
    return const_cast<char*>(self ? self->prompt_ : "");
}

unsigned char LineInput::cancelLine(EditLine* editor, int) {
    LineInput* self = nullptr;
    el_get(editor, EL_CLIENTDATA, &self);
    if (self) self->cancelled_ = true;
    // Ends the line; read() discards it.
    return CC_NEWLINE;
}

LineInput::Outcome LineInput::read(const char* prompt, std::string* line) {
    prompt_ = prompt;
    cancelled_ = false;
    int count = 0;
    // The terminal goes into edit mode before the prompt shows: keys typed
    // as soon as it shows are then the editor's (Ctrl-C clears the line,
    // Ctrl-R searches), not the terminal driver's.
    el_set(editor_, EL_PREP_TERM, 1);
    const char* text = el_gets(editor_, &count);
    if (cancelled_) {
        std::fputs("^C\n", stdout);
        std::fflush(stdout);
        return Outcome::cancelled;
    }
    if (!text || count <= 0) return Outcome::ended;
    line->assign(text, static_cast<size_t>(count));
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
    return Outcome::line;
}

void LineInput::remember(const std::string& line) {
    if (!history_ || line.empty()) return;
    HistEvent event;
    history(history_, &event, H_ENTER, line.c_str());
    if (!historyPath_.empty()) history(history_, &event, H_SAVE, historyPath_.c_str());
}

void LineInput::typeAhead(const std::string& keys) {
    if (!keys.empty()) el_push(editor_, keys.c_str());
}

}  // namespace tvx::tool

#else  // no libedit: 'tvx term' reads plain lines

namespace tvx::tool {

LineInput::LineInput(std::string historyPath) : historyPath_(std::move(historyPath)) {}
LineInput::~LineInput() = default;
LineInput::Outcome LineInput::read(const char*, std::string*) { return Outcome::ended; }
void LineInput::remember(const std::string&) {}
void LineInput::typeAhead(const std::string&) {}

}  // namespace tvx::tool

#endif

#include <cstdlib>

namespace tvx::tool {

std::string LineInput::defaultHistoryPath() {
    if (const char* path = std::getenv("TVX_HISTORY")) return path;
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.tvx_history";
    return "";
}

}  // namespace tvx::tool

namespace tvx::tool {

bool readPlainLine(std::string* line, size_t maxBytes) {
    line->clear();
    int c;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') return true;
        if (line->size() < maxBytes) line->push_back(static_cast<char>(c));
    }
    return any;
}

}  // namespace tvx::tool
