#include "interpreter/program.h"

#include <cmath>

#include "interpreter/lexer.h"

namespace tvx::sim::interp {
namespace {

using Kind = ProgramLine::Kind;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool isWordToken(const Token& t, std::string_view upperWord) {
    return t.kind == Tok::word && upper(t.text) == upperWord;
}

Error lineError(size_t index, const std::string& message) {
    return Error{ErrorKind::syntax, "line " + std::to_string(index + 1) + ": " + message};
}

// The text of `line` from the token at `from` up to the first top-level
// word `stop` (or the end); `at` receives where `stop` starts (npos when
// absent). Parentheses nest.
std::string_view untilWord(std::string_view line, Lexer& lex, std::string_view stop, size_t& at) {
    const size_t begin = lex.peek().pos;
    int depth = 0;
    at = std::string_view::npos;
    while (lex.peek().kind != Tok::end) {
        const Token& t = lex.peek();
        if (depth == 0 && isWordToken(t, stop)) {
            at = t.pos;
            break;
        }
        if (t.kind == Tok::lparen) ++depth;
        if (t.kind == Tok::rparen && depth > 0) --depth;
        lex.next();
    }
    const size_t end = at == std::string_view::npos ? line.size() : at;
    return trim(line.substr(begin, end - begin));
}

// Reads one line's kind and parts; false with a message when it is malformed.
bool classify(std::string_view line, ProgramLine& out, std::string& message) {
    line = trim(line);
    if (line.empty() || line.front() == '\'') return true;
    Lexer lex(line);
    const Token first = lex.peek();
    const std::string word = first.kind == Tok::word ? upper(first.text) : std::string();
    if (word == "REM") return true;
    auto restAfterFirst = [&] { return trim(line.substr(first.pos + first.text.size())); };
    if (word == "WHILE" || word == "WEND" || word == "ELSE" || word == "ENDIF" || word == "END") {
        const std::string_view rest = restAfterFirst();
        if (word == "WHILE") {
            if (rest.empty()) return message = "WHILE needs a condition", false;
            out.kind = Kind::whileLoop;
            out.text = std::string(rest);
            return true;
        }
        if (word == "END" && !rest.empty() && upper(rest) == "IF") {
            out.kind = Kind::endif;
            return true;
        }
        if (!rest.empty()) return message = "unexpected text after " + word, false;
        out.kind = word == "WEND" ? Kind::wend : word == "ELSE" ? Kind::elseLine : word == "ENDIF" ? Kind::endif : Kind::end;
        return true;
    }
    if (word == "FOR") {
        lex.next();
        const Token var = lex.next();
        if (var.kind != Tok::word || !lex.accept(Tok::equal)) return message = "FOR needs VARIABLE = START TO LIMIT", false;
        size_t at = 0;
        const std::string_view start = untilWord(line, lex, "TO", at);
        if (at == std::string_view::npos || start.empty()) return message = "FOR needs TO", false;
        lex.next();
        const std::string_view limit = untilWord(line, lex, "STEP", at);
        if (limit.empty()) return message = "FOR needs a limit", false;
        std::string_view step = "1";
        if (at != std::string_view::npos) {
            lex.next();
            if (lex.peek().kind == Tok::end) return message = "STEP needs a value", false;
            step = trim(line.substr(lex.peek().pos));
            if (step.empty()) return message = "STEP needs a value", false;
        }
        out.kind = Kind::forLoop;
        out.variable = upper(var.text);
        out.text = std::string(start);
        out.limit = std::string(limit);
        out.step = std::string(step);
        return true;
    }
    if (word == "NEXT") {
        lex.next();
        const Token var = lex.next();
        if (var.kind == Tok::word) out.variable = upper(var.text);
        else if (var.kind != Tok::end) return message = "NEXT takes a variable name", false;
        if (lex.peek().kind != Tok::end) return message = "unexpected text after NEXT", false;
        out.kind = Kind::next;
        return true;
    }
    if (word == "IF") {
        lex.next();
        size_t at = 0;
        const std::string_view condition = untilWord(line, lex, "THEN", at);
        if (at == std::string_view::npos || condition.empty()) return message = "IF needs a condition and THEN", false;
        const std::string_view then = trim(line.substr(at + 4));
        out.kind = then.empty() ? Kind::ifBlock : Kind::ifLine;
        out.text = std::string(condition);
        out.then = std::string(then);
        return true;
    }
    out.kind = Kind::plain;
    out.text = std::string(line);
    return true;
}

}  // namespace

Error Program::parse(std::string_view source, Program& out) {
    std::vector<ProgramLine> lines;
    std::vector<size_t> open;  // indexes of blocks not closed yet
    size_t begin = 0;
    while (begin <= source.size()) {
        size_t end = source.find('\n', begin);
        if (end == std::string_view::npos) end = source.size();
        if (lines.size() >= kMaxProgramLines) return Error{ErrorKind::noMemory, "program too long"};
        const std::string_view text = source.substr(begin, end - begin);
        const size_t index = lines.size();
        if (text.size() > kMaxLineLength) return lineError(index, "line too long");
        ProgramLine line;
        std::string message;
        if (!classify(text, line, message)) return lineError(index, message);
        switch (line.kind) {
            case Kind::whileLoop:
            case Kind::forLoop:
            case Kind::ifBlock:
                line.elseIndex = index;
                open.push_back(index);
                break;
            case Kind::wend:
            case Kind::next:
            case Kind::elseLine:
            case Kind::endif: {
                const Kind wanted = line.kind == Kind::wend ? Kind::whileLoop
                                    : line.kind == Kind::next ? Kind::forLoop
                                                              : Kind::ifBlock;
                if (open.empty() || lines[open.back()].kind != wanted) return lineError(index, "block does not match");
                ProgramLine& head = lines[open.back()];
                if (line.kind == Kind::next && !line.variable.empty() && line.variable != head.variable)
                    return lineError(index, "NEXT " + line.variable + " does not match FOR " + head.variable);
                if (line.kind == Kind::elseLine) {
                    if (head.elseIndex != open.back()) return lineError(index, "second ELSE");
                    head.elseIndex = index;
                    break;  // the block stays open until ENDIF
                }
                if (line.kind == Kind::endif) {
                    if (head.elseIndex != open.back()) lines[head.elseIndex].partner = index;
                    else head.elseIndex = index;
                } else {
                    line.variable = head.variable;
                    line.step = head.step;
                }
                head.partner = index;
                line.partner = open.back();
                open.pop_back();
                break;
            }
            default:
                break;
        }
        lines.push_back(std::move(line));
        begin = end + 1;
    }
    if (!open.empty()) return lineError(open.back(), "block is not closed");
    out.lines_ = std::move(lines);
    return {};
}

bool ProgramTask::jumpOnCondition(Interpreter& interpreter, const std::string& condition, size_t falseTarget,
                                  Error& e) {
    double v = 0;
    e = interpreter.evaluate(condition, v, &locals_);
    if (e) return false;
    pc_ = v != 0 ? pc_ + 1 : falseTarget;
    return true;
}

bool ProgramTask::loopGoesOn(Interpreter& interpreter, const ProgramLine& loop, Error& e) {
    double value = 0, limit = 0, step = 0;
    if ((e = interpreter.evaluate(loop.variable, value, &locals_))) return false;
    if ((e = interpreter.evaluate(loop.limit, limit, &locals_))) return false;
    if ((e = interpreter.evaluate(loop.step, step, &locals_))) return false;
    return step >= 0 ? value <= limit : value >= limit;
}

StepOutcome ProgramTask::step(Interpreter& interpreter, std::string& out) {
    if (finished()) return StepOutcome::ended;
    const std::vector<ProgramLine>& lines = program_.lines();
    const ProgramLine& line = lines[pc_];
    Error e;
    switch (line.kind) {
        case Kind::empty:
        case Kind::endif:
            ++pc_;
            break;
        case Kind::plain:
            e = interpreter.executeProgramLine(line.text, out, locals_);
            if (!e) ++pc_;
            break;
        case Kind::ifLine: {
            double v = 0;
            e = interpreter.evaluate(line.text, v, &locals_);
            if (!e && v != 0) e = interpreter.executeProgramLine(line.then, out, locals_);
            if (!e) ++pc_;
            break;
        }
        case Kind::whileLoop:
            jumpOnCondition(interpreter, line.text, line.partner + 1, e);
            break;
        case Kind::wend:
            pc_ = line.partner;
            break;
        case Kind::ifBlock:
            jumpOnCondition(interpreter, line.text, line.elseIndex + 1, e);
            break;
        case Kind::elseLine:
            pc_ = line.partner + 1;  // the true branch ends here
            break;
        case Kind::forLoop:
            e = interpreter.executeProgramLine(line.variable + " = " + line.text, out, locals_);
            if (!e) {
                const bool goesOn = loopGoesOn(interpreter, line, e);
                pc_ = goesOn ? pc_ + 1 : line.partner + 1;
            }
            break;
        case Kind::next: {
            e = interpreter.executeProgramLine(line.variable + " = " + line.variable + " + (" + line.step + ")", out,
                                               locals_);
            if (!e) {
                const bool goesOn = loopGoesOn(interpreter, lines[line.partner], e);
                pc_ = goesOn ? line.partner + 1 : pc_ + 1;
            }
            break;
        }
        case Kind::end:
            pc_ = lines.size();
            break;
    }
    if (e) {
        out += file_ + " line " + std::to_string(lineNumber()) + ": " + errorLine(e);
        return StepOutcome::failed;
    }
    return finished() ? StepOutcome::ended : StepOutcome::ran;
}

}  // namespace tvx::sim::interp
