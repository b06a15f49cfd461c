// Parses and runs the statements of one command line. Expressions are
// evaluated while they are parsed; nothing is kept between lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "interpreter/interpreter.h"
#include "interpreter/lexer.h"

namespace tvx::sim::interp {

inline constexpr int kMaxNesting = 64;

class LineRunner {
public:
    LineRunner(Interpreter& interpreter, std::string_view line) : in_(interpreter), lex_(line) {}
    Error run(std::string& out);
    // The line is one expression and nothing else.
    Error evaluate(double& v);

private:
    // A place a value is read from or assigned to.
    struct Ref {
        enum class Kind { slot, axis, autoUpload, constant, modbus } kind = Kind::constant;
        double* slot = nullptr;
        ModbusView view = ModbusView::reg;
        size_t index = 0;
        int axis = 0;
        AxisParam param = AxisParam::units;
        double value = 0;
        std::string name;
    };

    // statements.cpp
    bool statement(std::string& out);
    bool print(std::string& out);
    bool printItem(std::string& text);
    bool declare();
    bool lockCommand(bool lock);
    bool declareLocals();
    bool assignment(const Token& word);
    bool atStatementEnd() const;
    bool endOfStatement();

    // expressions.cpp
    bool expression(double& v);
    bool orExpr(double& v);
    bool andExpr(double& v);
    bool notExpr(double& v);
    bool comparison(double& v);
    bool additive(double& v);
    bool term(double& v);
    bool unary(double& v);
    bool power(double& v);
    bool primary(double& v);
    bool reference(const Token& word, Ref& ref);
    bool element(std::vector<double>& values, const std::string& name, Ref& ref);
    bool read(const Ref& ref, double& v);
    bool write(const Ref& ref, double v);
    bool expect(Tok kind, const char* what);
    bool checked(double& v, double result);
    bool unexpected(const Token& t);
    bool fail(ErrorKind kind, std::string message);

    Interpreter& in_;
    Lexer lex_;
    Error error_;
    int depth_ = 0;
};

}  // namespace tvx::sim::interp
