#include "interpreter/lexer.h"

#include <cctype>
#include <charconv>

namespace tvx::sim::interp {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isWordChar(char c) { return isWordStart(c) || isDigit(c); }

}  // namespace

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

Lexer::Lexer(std::string_view line) : src_(line) { scan(); }

Token Lexer::next() {
    Token t = current_;
    scan();
    return t;
}

bool Lexer::accept(Tok kind) {
    if (current_.kind != kind) return false;
    scan();
    return true;
}

bool Lexer::rawParenthesised(std::string_view& out) {
    if (current_.kind != Tok::lparen) return false;
    const size_t start = current_.pos + 1;
    const size_t close = src_.find(')', start);
    if (close == std::string_view::npos) return false;
    out = src_.substr(start, close - start);
    pos_ = close + 1;
    scan();
    return true;
}

void Lexer::scanNumber(size_t start) {
    size_t p = start;
    while (p < src_.size() && isDigit(src_[p])) ++p;
    if (p < src_.size() && src_[p] == '.') {
        ++p;
        while (p < src_.size() && isDigit(src_[p])) ++p;
    }
    // An exponent only when digits follow, so that "2E" stays a number
    // followed by a word (and fails as such).
    if (p < src_.size() && (src_[p] == 'e' || src_[p] == 'E')) {
        size_t q = p + 1;
        if (q < src_.size() && (src_[q] == '+' || src_[q] == '-')) ++q;
        if (q < src_.size() && isDigit(src_[q])) {
            while (q < src_.size() && isDigit(src_[q])) ++q;
            p = q;
        }
    }
    current_.text = src_.substr(start, p - start);
    pos_ = p;
    double v = 0;
    const auto [end, ec] = std::from_chars(src_.data() + start, src_.data() + p, v);
    if (ec != std::errc() || end != src_.data() + p || current_.text == ".") {
        current_.kind = Tok::bad;
        return;
    }
    current_.kind = Tok::number;
    current_.number = v;
}

void Lexer::scan() {
    while (pos_ < src_.size() && (src_[pos_] == ' ' || src_[pos_] == '\t')) ++pos_;
    current_ = Token{};
    current_.pos = pos_;
    if (pos_ >= src_.size()) return;
    const size_t start = pos_;
    const char c = src_[pos_];
    if (isDigit(c) || (c == '.' && pos_ + 1 < src_.size() && isDigit(src_[pos_ + 1]))) {
        scanNumber(start);
        return;
    }
    if (isWordStart(c)) {
        while (pos_ < src_.size() && isWordChar(src_[pos_])) ++pos_;
        current_.kind = Tok::word;
        current_.text = src_.substr(start, pos_ - start);
        return;
    }
    if (c == '"') {
        const size_t close = src_.find('"', start + 1);
        if (close == std::string_view::npos) {
            current_.kind = Tok::bad;
            current_.text = src_.substr(start);
            pos_ = src_.size();
            return;
        }
        current_.kind = Tok::string;
        current_.text = src_.substr(start + 1, close - start - 1);
        pos_ = close + 1;
        return;
    }
    ++pos_;
    auto two = [&](char second, Tok ifTwo, Tok ifOne) {
        if (pos_ < src_.size() && src_[pos_] == second) {
            ++pos_;
            return ifTwo;
        }
        return ifOne;
    };
    switch (c) {
        case '+': current_.kind = Tok::plus; break;
        case '-': current_.kind = Tok::minus; break;
        case '*': current_.kind = Tok::star; break;
        case '/': current_.kind = Tok::slash; break;
        case '^': current_.kind = Tok::caret; break;
        case '(': current_.kind = Tok::lparen; break;
        case ')': current_.kind = Tok::rparen; break;
        case ',': current_.kind = Tok::comma; break;
        case ';': current_.kind = Tok::semicolon; break;
        case ':': current_.kind = Tok::colon; break;
        case '?': current_.kind = Tok::question; break;
        case '=': current_.kind = Tok::equal; break;
        case '>': current_.kind = two('=', Tok::greaterEqual, Tok::greater); break;
        case '<':
            if (pos_ < src_.size() && src_[pos_] == '>') {
                ++pos_;
                current_.kind = Tok::notEqual;
            } else {
                current_.kind = two('=', Tok::lessEqual, Tok::less);
            }
            break;
        default: current_.kind = Tok::bad; break;
    }
    current_.text = src_.substr(start, pos_ - start);
}

}  // namespace tvx::sim::interp
