// Tokens of one command line of the controller's interpreter.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx::sim::interp {

enum class Tok {
    end,
    number,
    word,
    string,
    plus,
    minus,
    star,
    slash,
    caret,
    lparen,
    rparen,
    comma,
    semicolon,
    colon,
    equal,
    less,
    greater,
    lessEqual,
    greaterEqual,
    notEqual,
    question,
    bad,  // a character or literal the language does not know
};

struct Token {
    Tok kind = Tok::end;
    std::string_view text;  // the token's characters (a string without its quotes)
    double number = 0;
    size_t pos = 0;
};

// Keywords and names are matched without regard to case.
std::string upper(std::string_view s);

class Lexer {
public:
    explicit Lexer(std::string_view line);

    const Token& peek() const { return current_; }
    Token next();
    bool accept(Tok kind);

    // Takes the raw characters after the current token, which must be '(',
    // up to the next ')' and continues after it. False when no ')' follows.
    bool rawParenthesised(std::string_view& out);

private:
    void scan();
    void scanNumber(size_t start);

    std::string_view src_;
    size_t pos_ = 0;
    Token current_;
};

}  // namespace tvx::sim::interp
