// BASIC program files as the controller runs them in a task: the command
// language of the interpreter, one line after another, with the block
// structure of a program around it:
//
//   LOCAL count                  ' locals of the task
//   FOR count = 1 TO 3 STEP 1
//     PRINT "pass", count
//   NEXT count
//   WHILE VR(0) < 10 : ... : WEND on lines of their own
//   IF x > 2 THEN PRINT "big"    ' or IF ... THEN / ELSE / ENDIF blocks
//   END
//
// Lines count from 1; blank lines and comments (' or REM) do nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/interpreter.h"

namespace tvx::sim::interp {

inline constexpr size_t kMaxProgramLines = 100000;

struct ProgramLine {
    enum class Kind { empty, plain, whileLoop, wend, forLoop, next, ifBlock, ifLine, elseLine, endif, end };
    Kind kind = Kind::empty;
    std::string text;       // plain: the statements; while/if: the condition
    std::string variable;   // for/next: the loop variable
    std::string limit;      // for: the TO expression
    std::string step;       // for: the STEP expression ("1" without one)
    std::string then;       // one-line IF: the statements after THEN
    size_t partner = 0;     // index of the matching line (see Program::parse)
    size_t elseIndex = 0;   // IF block: its ELSE line, or its ENDIF
};

class Program {
public:
    // Parses a program's text and matches its blocks; an error names the
    // first line that does not fit.
    static Error parse(std::string_view source, Program& out);

    const std::vector<ProgramLine>& lines() const { return lines_; }

private:
    std::vector<ProgramLine> lines_;
};

// What one step of a task did.
enum class StepOutcome { ran, ended, failed };

// A program running in a task: where it is and its locals.
class ProgramTask {
public:
    ProgramTask(std::string file, Program program) : file_(std::move(file)), program_(std::move(program)) {
        locals_.reserve(kMaxLocals);
    }

    const std::string& file() const { return file_; }
    // The line the task runs next, counted from 1.
    uint32_t lineNumber() const { return static_cast<uint32_t>(pc_ + 1); }
    bool finished() const { return pc_ >= program_.lines().size(); }
    // True when the next line does something (not blank, not a comment).
    bool atStatement() const { return !finished() && program_.lines()[pc_].kind != ProgramLine::Kind::empty; }
    Locals& locals() { return locals_; }

    // Runs the line at the current position, appending printed text to
    // `out`; a failing line leaves its error line there.
    StepOutcome step(Interpreter& interpreter, std::string& out);

private:
    bool jumpOnCondition(Interpreter& interpreter, const std::string& condition, size_t falseTarget, Error& e);
    bool loopGoesOn(Interpreter& interpreter, const ProgramLine& loop, Error& e);

    std::string file_;
    Program program_;
    size_t pc_ = 0;
    Locals locals_;
};

}  // namespace tvx::sim::interp
