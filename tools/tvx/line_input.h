// Line input of 'tvx term' on a terminal, through libedit: emacs key
// bindings (~/.editrc applies), history kept in a file, Ctrl-R reverse
// search, Ctrl-C clears the line. Built where libedit is available
// (TVX_HAVE_LIBEDIT); elsewhere 'tvx term' reads plain lines. Also the plain
// line reader of the commands that read standard input line by line.
#pragma once

#include <string>

// libedit's types (EditLine, History).
struct editline;
struct history;

namespace tvx::tool {

class LineInput {
public:
    enum class Outcome { line, cancelled, ended };

    // Reads the history from `historyPath` (a missing file is an empty
    // history; an empty path keeps none).
    explicit LineInput(std::string historyPath);
    ~LineInput();
    LineInput(const LineInput&) = delete;
    LineInput& operator=(const LineInput&) = delete;

    // False when libedit could not start on this terminal.
    bool ok() const { return editor_ != nullptr; }

    // Reads one line after `prompt`: `line` is the text without its line
    // feed; cancelled after Ctrl-C; ended after Ctrl-D on an empty line or
    // at the end of input.
    Outcome read(const char* prompt, std::string* line);

    // Adds a line to the history and saves the history file.
    void remember(const std::string& line);

    // Keys typed while a command ran, read first by the next read().
    void typeAhead(const std::string& keys);

    // $TVX_HISTORY, else ~/.tvx_history; empty when neither can be named.
    static std::string defaultHistoryPath();

private:
    static unsigned char cancelLine(::editline* editor, int key);
    static char* promptText(::editline* editor);

    ::editline* editor_ = nullptr;
    ::history* history_ = nullptr;
    std::string historyPath_;
    const char* prompt_ = "";
    bool cancelled_ = false;
};

// Reads one line from standard input without editing: at most `maxBytes`
// are kept (the rest of a longer line is dropped); false at the end of
// input with nothing read.
bool readPlainLine(std::string* line, size_t maxBytes);

}  // namespace tvx::tool
