// Statements of a command line: PRINT / ?, DIM, GLOBAL, Lock, UnLock and
// assignments, separated by ':'.
#include "interpreter/line_runner.h"

namespace tvx::sim::interp {

Error Interpreter::executeLine(std::string_view line, std::string& out) {
    Error e;
    if (line.size() > kMaxLineLength) {
        e = Error{ErrorKind::lineTooLong, "line too long"};
    } else {
        LineRunner runner(*this, line);
        e = runner.run(out);
    }
    if (e) out += errorLine(e);
    return e;
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
