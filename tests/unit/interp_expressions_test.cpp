#include <gtest/gtest.h>

#include <string>

#include "interpreter/interpreter.h"

namespace tvx::sim::interp {
namespace {

std::string run(Interpreter& in, const std::string& line) {
    std::string out;
    in.executeLine(line, out);
    return out;
}

struct Case {
    const char* line;
    const char* answer;
};

TEST(InterpExpressions, PrintsValuesOfExpressions) {
    const Case cases[] = {
        {"?1+2*3", "7\n"},
        {"?(1+2)*3", "9\n"},
        {"?7/2", "3.5\n"},
        {"?1/3", "0.3333\n"},
        {"?-2^2", "-4\n"},
        {"?2^3^2", "512\n"},
        {"?10 MOD 4", "2\n"},
        {"?1.5e3 + .25", "1500.25\n"},
        {"?--3", "3\n"},
        {"?ABS(-2.5), SQR(16), INT(-3.7), FRAC(2.25), SGN(-9)", "2.5 4 -3 0.25 -1\n"},
        {"?3>2, 3<2, 2<=2, 2>=3, 1=1, 1<>1", "1 0 1 0 1 0\n"},
        {"?1 AND 0, 1 OR 0, NOT 0, NOT 5, 1 XOR 1", "0 1 1 0 0\n"},
        {"?1+1=2 AND 3>2", "1\n"},
        {"?INT(PI*1000)", "3141\n"},
        {"print 1;2;3", "123\n"},
        {"PRINT \"x=\", 4", "x= 4\n"},
        {"PRINT \"no line break\";", "no line break"},
        {"PRINT", "\n"},
        {"?1:?2 : ?3", "1\n2\n3\n"},
        {"?-0.00001", "0\n"},
    };
    Interpreter in;
    for (const Case& c : cases) EXPECT_EQ(run(in, c.line), c.answer) << c.line;
}

TEST(InterpExpressions, ErrorsAnswerWithAnErrorLine) {
    const struct {
        const char* line;
        ErrorKind kind;
    } cases[] = {
        {"FOO", ErrorKind::unknownWord},
        {"?FOO+1", ErrorKind::unknownWord},
        {"?1+", ErrorKind::syntax},
        {"?(1+2", ErrorKind::syntax},
        {"?1 2", ErrorKind::syntax},
        {"?\"open", ErrorKind::syntax},
        {"?1 # 2", ErrorKind::syntax},
        {"?ABS 1", ErrorKind::syntax},
        {"?1/0", ErrorKind::divisionByZero},
        {"?5 MOD 0", ErrorKind::divisionByZero},
        {"?SQR(-1)", ErrorKind::badValue},
        {"?LN(0)", ErrorKind::badValue},
        {"?10^400", ErrorKind::badValue},
        {"?1e999", ErrorKind::syntax},
        {"PI = 3", ErrorKind::syntax},
        {"?AND", ErrorKind::syntax},
    };
    for (const auto& c : cases) {
        Interpreter in;
        std::string out;
        const Error e = in.executeLine(c.line, out);
        EXPECT_EQ(e.kind, c.kind) << c.line << " -> " << out;
        EXPECT_EQ(out, errorLine(e)) << c.line;
        EXPECT_EQ(out.rfind("ERROR ", 0), 0u) << c.line;
    }
}

TEST(InterpExpressions, ErrorEndsTheLineButKeepsEarlierOutput) {
    Interpreter in;
    std::string out;
    in.executeLine("?1 : ?2, 1/0 : VR(0)=9", out);
    EXPECT_EQ(out, "1\nERROR 4: division by zero\n");
    EXPECT_EQ(in.variables().vr()[0], 0.0);  // the statement after the error never ran
    // A malformed statement has no effect at all.
    out.clear();
    in.executeLine("VR(1)=5 6", out);
    in.executeLine("?7 8", out);
    in.executeLine("DIM fine, bad 2", out);
    EXPECT_EQ(out, "ERROR 1: unexpected '6'\nERROR 1: unexpected '8'\nERROR 1: unexpected '2'\n");
    EXPECT_EQ(in.variables().vr()[1], 0.0);
    EXPECT_EQ(in.variables().find("FINE"), nullptr);
}

TEST(InterpExpressions, HostileLinesAreRefusedNotCrashed) {
    Interpreter in;
    std::string out;
    EXPECT_EQ(in.executeLine("?" + std::string(5000, '('), out).kind, ErrorKind::lineTooLong);
    const std::string deep = "?" + std::string(500, '(') + "1" + std::string(500, ')');
    EXPECT_EQ(in.executeLine(deep, out).kind, ErrorKind::syntax);
    EXPECT_EQ(in.executeLine("?" + std::string(500, '-') + "1", out).kind, ErrorKind::syntax);
    EXPECT_EQ(in.executeLine("?" + std::string(30, '(') + "1" + std::string(30, ')'), out).kind, ErrorKind::none);
    EXPECT_EQ(in.executeLine(std::string("?1\x01"), out).kind, ErrorKind::syntax);
}

}  // namespace
}  // namespace tvx::sim::interp
