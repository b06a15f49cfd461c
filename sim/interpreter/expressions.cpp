// Expressions, from the loosest binding operator to the tightest:
// OR XOR, AND, NOT, comparisons, + -, * / MOD, unary - +, ^.
#include <cmath>

#include "interpreter/functions.h"
#include "interpreter/line_runner.h"

namespace tvx::sim::interp {
namespace {

bool isWord(const Token& t, std::string_view upperWord) { return t.kind == Tok::word && upper(t.text) == upperWord; }

// Counts nesting so that a line of thousands of '(' cannot exhaust the stack.
class Nesting {
public:
    explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
    ~Nesting() { --depth_; }
    bool tooDeep() const { return depth_ > kMaxNesting; }

private:
    int& depth_;
};

}  // namespace

bool LineRunner::fail(ErrorKind kind, std::string message) {
    if (!error_) error_ = Error{kind, std::move(message)};
    return false;
}

bool LineRunner::unexpected(const Token& t) {
    if (t.kind == Tok::end) return fail(ErrorKind::syntax, "unexpected end of line");
    if (t.kind == Tok::bad && !t.text.empty() && t.text[0] == '"') return fail(ErrorKind::syntax, "unterminated string");
    return fail(ErrorKind::syntax, "unexpected '" + std::string(t.text) + "'");
}

bool LineRunner::expect(Tok kind, const char* what) {
    if (lex_.accept(kind)) return true;
    if (lex_.peek().kind == Tok::end) return fail(ErrorKind::syntax, std::string("missing ") + what);
    return unexpected(lex_.peek());
}

bool LineRunner::checked(double& v, double result) {
    if (!std::isfinite(result)) return fail(ErrorKind::badValue, "numeric overflow");
    v = result;
    return true;
}

bool LineRunner::expression(double& v) { return orExpr(v); }

bool LineRunner::orExpr(double& v) {
    if (!andExpr(v)) return false;
    for (;;) {
        const bool isOr = isWord(lex_.peek(), "OR");
        if (!isOr && !isWord(lex_.peek(), "XOR")) return true;
        lex_.next();
        double r;
        if (!andExpr(r)) return false;
        v = isOr ? ((v != 0) || (r != 0)) : ((v != 0) != (r != 0));
    }
}

bool LineRunner::andExpr(double& v) {
    if (!notExpr(v)) return false;
    while (isWord(lex_.peek(), "AND")) {
        lex_.next();
        double r;
        if (!notExpr(r)) return false;
        v = (v != 0) && (r != 0);
    }
    return true;
}

bool LineRunner::notExpr(double& v) {
    if (!isWord(lex_.peek(), "NOT")) return comparison(v);
    Nesting n(depth_);
    if (n.tooDeep()) return fail(ErrorKind::syntax, "expression too deeply nested");
    lex_.next();
    if (!notExpr(v)) return false;
    v = v == 0;
    return true;
}

bool LineRunner::comparison(double& v) {
    if (!additive(v)) return false;
    for (;;) {
        const Tok op = lex_.peek().kind;
        if (op != Tok::equal && op != Tok::notEqual && op != Tok::less && op != Tok::greater &&
            op != Tok::lessEqual && op != Tok::greaterEqual)
            return true;
        lex_.next();
        double r;
        if (!additive(r)) return false;
        switch (op) {
            case Tok::equal: v = v == r; break;
            case Tok::notEqual: v = v != r; break;
            case Tok::less: v = v < r; break;
            case Tok::greater: v = v > r; break;
            case Tok::lessEqual: v = v <= r; break;
            default: v = v >= r; break;
        }
    }
}

bool LineRunner::additive(double& v) {
    if (!term(v)) return false;
    for (;;) {
        const Tok op = lex_.peek().kind;
        if (op != Tok::plus && op != Tok::minus) return true;
        lex_.next();
        double r;
        if (!term(r) || !checked(v, op == Tok::plus ? v + r : v - r)) return false;
    }
}

bool LineRunner::term(double& v) {
    if (!unary(v)) return false;
    for (;;) {
        const Tok op = lex_.peek().kind;
        const bool isMod = isWord(lex_.peek(), "MOD");
        if (op != Tok::star && op != Tok::slash && !isMod) return true;
        lex_.next();
        double r;
        if (!unary(r)) return false;
        if (op == Tok::star) {
            if (!checked(v, v * r)) return false;
            continue;
        }
        if (r == 0) return fail(ErrorKind::divisionByZero, "division by zero");
        if (!checked(v, isMod ? std::fmod(v, r) : v / r)) return false;
    }
}

bool LineRunner::unary(double& v) {
    const Tok op = lex_.peek().kind;
    if (op != Tok::minus && op != Tok::plus) return power(v);
    Nesting n(depth_);
    if (n.tooDeep()) return fail(ErrorKind::syntax, "expression too deeply nested");
    lex_.next();
    if (!unary(v)) return false;
    if (op == Tok::minus) v = -v;
    return true;
}

bool LineRunner::power(double& v) {
    if (!primary(v)) return false;
    if (!lex_.accept(Tok::caret)) return true;
    double r;
    if (!unary(r)) return false;  // right-associative: 2^3^2 is 2^9
    if (v == 0 && r < 0) return fail(ErrorKind::divisionByZero, "division by zero");
    if (v < 0 && r != std::trunc(r)) return fail(ErrorKind::badValue, "fractional power of a negative number");
    return checked(v, std::pow(v, r));
}

bool LineRunner::primary(double& v) {
    Nesting n(depth_);
    if (n.tooDeep()) return fail(ErrorKind::syntax, "expression too deeply nested");
    const Token t = lex_.next();
    switch (t.kind) {
        case Tok::number:
            v = t.number;
            return true;
        case Tok::lparen:
            return expression(v) && expect(Tok::rparen, "')'");
        case Tok::word: {
            const std::string name = upper(t.text);
            if (BuiltinFn fn = findFunction(name)) {
                double x;
                if (!expect(Tok::lparen, "'('") || !expression(x) || !expect(Tok::rparen, "')'")) return false;
                ErrorKind e = ErrorKind::none;
                const double r = fn(x, &e);
                if (e != ErrorKind::none) return fail(e, "invalid argument of " + name);
                return checked(v, r);
            }
            Ref ref;
            return reference(t, ref) && read(ref, v);
        }
        default:
            return unexpected(t);
    }
}

bool LineRunner::element(std::vector<double>& values, const std::string& name, Ref& ref) {
    double index;
    if (!expect(Tok::lparen, "'('") || !expression(index) || !expect(Tok::rparen, "')'")) return false;
    const double i = std::trunc(index);
    if (!(i >= 0 && i < static_cast<double>(values.size())))
        return fail(ErrorKind::indexRange, name + " index " + formatNumber(index) + " out of range");
    ref.kind = Ref::Kind::slot;
    ref.slot = &values[static_cast<size_t>(i)];
    return true;
}

bool LineRunner::reference(const Token& word, Ref& ref) {
    ref.name = upper(word.text);
    const std::string& name = ref.name;
    Variables& vars = in_.vars_;
    if (name == "VR") return element(vars.vr(), name, ref);
    if (name == "TABLE") return element(vars.table(), name, ref);
    if (const auto view = findModbusView(name)) {
        double index;
        if (!expect(Tok::lparen, "'('") || !expression(index) || !expect(Tok::rparen, "')'")) return false;
        const double i = std::trunc(index);
        if (!vars.validModbusIndex(*view, i))
            return fail(ErrorKind::indexRange, name + " index " + formatNumber(index) + " out of range");
        ref.kind = Ref::Kind::modbus;
        ref.view = *view;
        ref.index = static_cast<size_t>(i);
        return true;
    }
    if (name == "IFAUTOUP_PORT") {
        ref.kind = Ref::Kind::autoUpload;
        return true;
    }
    if (name == "PI") {
        ref.kind = Ref::Kind::constant;
        ref.value = 3.14159265358979323846;
        return true;
    }
    if (const auto param = findAxisParam(name)) {
        double axis = 0;  // without an axis number: the base axis 0
        if (lex_.accept(Tok::lparen) && (!expression(axis) || !expect(Tok::rparen, "')'"))) return false;
        if (!vars.validAxis(std::trunc(axis))) return fail(ErrorKind::badAxis, "axis " + formatNumber(axis) + " does not exist");
        ref.kind = Ref::Kind::axis;
        ref.axis = static_cast<int>(axis);
        ref.param = *param;
        return true;
    }
    if (in_.locals_) {
        for (auto& local : *in_.locals_) {
            if (local.first != name) continue;
            if (lex_.peek().kind == Tok::lparen) return fail(ErrorKind::syntax, name + " is not an array");
            ref.kind = Ref::Kind::slot;
            ref.slot = &local.second;
            return true;
        }
    }
    if (Named* named = vars.find(name)) {
        if (named->isArray) return element(named->values, name, ref);
        if (lex_.peek().kind == Tok::lparen) return fail(ErrorKind::syntax, name + " is not an array");
        ref.kind = Ref::Kind::slot;
        ref.slot = &named->values[0];
        return true;
    }
    if (isReservedWord(name)) return fail(ErrorKind::syntax, "unexpected '" + std::string(word.text) + "'");
    return fail(ErrorKind::unknownWord, "unknown word " + std::string(word.text));
}

bool LineRunner::read(const Ref& ref, double& v) {
    switch (ref.kind) {
        case Ref::Kind::slot: v = *ref.slot; return true;
        case Ref::Kind::axis: v = in_.vars_.axisValue(ref.axis, ref.param); return true;
        case Ref::Kind::autoUpload: v = in_.vars_.autoUploadPort ? 1 : 0; return true;
        case Ref::Kind::constant: v = ref.value; return true;
        case Ref::Kind::modbus: v = in_.vars_.modbusValue(ref.view, ref.index); return true;
    }
    return false;
}

bool LineRunner::write(const Ref& ref, double v) {
    switch (ref.kind) {
        case Ref::Kind::slot:
            *ref.slot = v;
            return true;
        case Ref::Kind::axis:
            if (Error e = in_.vars_.setAxisValue(ref.axis, ref.param, v)) return fail(e.kind, e.message);
            return true;
        case Ref::Kind::autoUpload:
            if (v != 0 && v != 1) return fail(ErrorKind::badValue, "IFAUTOUP_PORT takes 0 or 1");
            in_.vars_.autoUploadPort = v != 0;
            return true;
        case Ref::Kind::constant:
            return fail(ErrorKind::syntax, "cannot assign to " + ref.name);
        case Ref::Kind::modbus:
            if (Error e = in_.vars_.setModbusValue(ref.view, ref.index, v)) return fail(e.kind, e.message);
            return true;
    }
    return false;
}

}  // namespace tvx::sim::interp
