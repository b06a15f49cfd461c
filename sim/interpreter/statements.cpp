// Statements of a command line: PRINT / ?, DIM, GLOBAL, Lock, UnLock and
// assignments, separated by ':'.
#include "interpreter/line_runner.h"

namespace tvx::sim::interp {

Error Interpreter::executeLine(std::string_view line, std::string& out) {
    Error e;
    if (line.size() > kMaxLineLength) {
        e = Error{ErrorKind::lineTooLong, "line too long"};
    } else {
        // Host lines see the locals of a task stopped in the debugger.
        locals_ = hostLocals_;
        LineRunner runner(*this, line);
        e = runner.run(out);
        locals_ = nullptr;
    }
    if (e) out += errorLine(e);
    return e;
}

Error Interpreter::executeProgramLine(std::string_view line, std::string& out, Locals& locals) {
    if (line.size() > kMaxLineLength) return Error{ErrorKind::lineTooLong, "line too long"};
    Locals* const saved = locals_;
    locals_ = &locals;
    inProgram_ = true;
    LineRunner runner(*this, line);
    const Error e = runner.run(out);
    inProgram_ = false;
    locals_ = saved;
    return e;
}

Error Interpreter::evaluate(std::string_view expression, double& v, Locals* locals) {
    if (expression.size() > kMaxLineLength) return Error{ErrorKind::lineTooLong, "line too long"};
    Locals* const saved = locals_;
    locals_ = locals;
    LineRunner runner(*this, expression);
    const Error e = runner.evaluate(v);
    locals_ = saved;
    return e;
}

Error LineRunner::evaluate(double& v) {
    if (!expression(v)) return error_;
    if (lex_.peek().kind != Tok::end) unexpected(lex_.peek());
    return error_;
}

Error LineRunner::run(std::string& out) {
    for (;;) {
        if (!statement(out)) return error_;
        if (lex_.accept(Tok::colon)) continue;
        if (lex_.peek().kind == Tok::end) return {};
        unexpected(lex_.peek());
        return error_;
    }
}

bool LineRunner::atStatementEnd() const { return lex_.peek().kind == Tok::end || lex_.peek().kind == Tok::colon; }

// Every statement is parsed to its end before it acts, so a malformed
// statement has no effect at all.
bool LineRunner::endOfStatement() { return atStatementEnd() || unexpected(lex_.peek()); }

bool LineRunner::statement(std::string& out) {
    if (atStatementEnd()) return true;  // an empty statement
    if (lex_.accept(Tok::question)) return print(out);
    const Token t = lex_.peek();
    if (t.kind != Tok::word) return unexpected(lex_.next());
    const std::string word = upper(t.text);
    if (word == "PRINT") {
        lex_.next();
        return print(out);
    }
    if (word == "DIM" || word == "GLOBAL") {
        lex_.next();
        if (word == "GLOBAL" && lex_.peek().kind == Tok::word && upper(lex_.peek().text) == "DIM") lex_.next();
        return declare();
    }
    if (word == "LOCAL") {
        lex_.next();
        return declareLocals();
    }
    if (word == "LOCK" || word == "UNLOCK") {
        lex_.next();
        return lockCommand(word == "LOCK");
    }
    lex_.next();
    return assignment(t);
}

bool LineRunner::print(std::string& out) {
    // The statement's text is kept apart so that a failing item prints
    // nothing of its statement.
    std::string text;
    bool newline = true;
    bool space = false;
    while (!atStatementEnd()) {
        if (space) text += ' ';
        if (!printItem(text)) return false;
        if (lex_.accept(Tok::comma))
            space = true;
        else if (lex_.accept(Tok::semicolon))
            space = false;
        else
            break;
        // A trailing separator keeps the line open.
        if (atStatementEnd()) newline = false;
    }
    if (!endOfStatement()) return false;
    if (newline) text += '\n';
    out += text;
    return true;
}

bool LineRunner::printItem(std::string& text) {
    if (lex_.peek().kind == Tok::string) {
        text += lex_.next().text;
        return true;
    }
    double v;
    if (!expression(v)) return false;
    text += formatNumber(v);
    return true;
}

bool LineRunner::declare() {
    struct Declaration {
        std::string name;
        bool isArray;
        double size;
    };
    std::vector<Declaration> list;
    do {
        const Token name = lex_.next();
        if (name.kind != Tok::word) return unexpected(name);
        double size = 0;
        const bool isArray = lex_.accept(Tok::lparen);
        if (isArray && (!expression(size) || !expect(Tok::rparen, "')'"))) return false;
        list.push_back({upper(name.text), isArray, size});
    } while (lex_.accept(Tok::comma));
    if (!endOfStatement()) return false;
    for (const Declaration& d : list)
        if (Error e = in_.vars_.declare(d.name, d.isArray, d.size)) return fail(e.kind, e.message);
    return true;
}

bool LineRunner::declareLocals() {
    if (!in_.inProgram_ || !in_.locals_) return fail(ErrorKind::syntax, "LOCAL only in a program");
    std::vector<std::string> names;
    do {
        const Token name = lex_.next();
        if (name.kind != Tok::word) return unexpected(name);
        names.push_back(upper(name.text));
    } while (lex_.accept(Tok::comma));
    if (!endOfStatement()) return false;
    Locals& locals = *in_.locals_;
    for (const std::string& n : names) {
        if (isReservedWord(n)) return fail(ErrorKind::nameInUse, n + " is a reserved word");
        if (n.size() > kMaxNameLength) return fail(ErrorKind::syntax, "name too long");
        bool known = false;
        for (const auto& local : locals) known = known || local.first == n;
        if (known) continue;
        if (locals.size() >= kMaxLocals) return fail(ErrorKind::noMemory, "no room for more locals");
        locals.emplace_back(n, 0.0);
    }
    return true;
}

bool LineRunner::lockCommand(bool lock) {
    // The password is the raw text between the parentheses.
    std::string_view password;
    if (!lex_.rawParenthesised(password)) return fail(ErrorKind::syntax, "expected (password)");
    if (password.size() > kMaxPasswordLength) return fail(ErrorKind::badValue, "password too long");
    if (!endOfStatement()) return false;
    if (lock) {
        if (in_.locked_ && in_.password_ != password) return fail(ErrorKind::locked, "controller is locked");
        in_.locked_ = true;
        in_.password_ = std::string(password);
        return true;
    }
    if (in_.locked_ && in_.password_ != password) return fail(ErrorKind::locked, "wrong password");
    in_.locked_ = false;
    in_.password_.clear();
    return true;
}

bool LineRunner::assignment(const Token& word) {
    Ref ref;
    if (!reference(word, ref)) return false;
    if (lex_.peek().kind != Tok::equal) {
        if (atStatementEnd()) return fail(ErrorKind::syntax, "expected '=' after " + ref.name);
        return unexpected(lex_.peek());
    }
    lex_.next();
    double v;
    return expression(v) && endOfStatement() && write(ref, v);
}

}  // namespace tvx::sim::interp
