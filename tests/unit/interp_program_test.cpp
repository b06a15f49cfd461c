// Program files of the simulated controller: block structure, locals and
// what a task prints as it runs.
#include <gtest/gtest.h>

#include <string>

#include "interpreter/program.h"

namespace tvx::sim::interp {
namespace {

// Runs a program to its end (at most `limit` lines); returns the output.
std::string runToEnd(Interpreter& in, const std::string& source, StepOutcome* last = nullptr, int limit = 10000) {
    Program p;
    const Error e = Program::parse(source, p);
    EXPECT_FALSE(e) << e.message;
    ProgramTask task("t.bas", p);
    std::string out;
    StepOutcome o = StepOutcome::ran;
    for (int i = 0; i < limit && o == StepOutcome::ran; ++i) o = task.step(in, out);
    if (last) *last = o;
    return out;
}

TEST(Program, BlocksRunAsWritten) {
    Interpreter in;
    const std::string source =
        "' sums and branches\n"
        "LOCAL i, total\n"
        "FOR i = 1 TO 7 STEP 3\n"
        "  total = total + i\n"
        "NEXT i\n"
        "PRINT \"for\", total, i\n"
        "FOR i = 5 TO 1\n"
        "  PRINT \"never\"\n"
        "NEXT\n"
        "WHILE total > 0\n"
        "  total = total - 5\n"
        "WEND\n"
        "IF total < 0 THEN\n"
        "  PRINT \"negative\", total\n"
        "ELSE\n"
        "  PRINT \"not negative\"\n"
        "END IF\n"
        "IF total = -3 THEN PRINT \"one line\"\n"
        "REM VR is global\n"
        "VR(2) = total\n"
        "END\n"
        "PRINT \"after end\"\n";
    StepOutcome last;
    EXPECT_EQ(runToEnd(in, source, &last), "for 12 10\nnegative -3\none line\n");
    EXPECT_EQ(last, StepOutcome::ended);
    EXPECT_EQ(in.variables().vr()[2], -3.0);
    // Locals stay with their task.
    std::string out;
    EXPECT_EQ(in.executeLine("?total", out).kind, ErrorKind::unknownWord);
}

TEST(Program, MalformedBlocksNameTheirLine) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"WEND\n", "line 1: block does not match"},
        {"FOR i = 1 TO 2\nWEND\n", "line 2: block does not match"},
        {"WHILE 1\nPRINT 1\n", "line 1: block is not closed"},
        {"FOR i = 1 TO 2\nNEXT j\n", "line 2: NEXT J does not match FOR I"},
        {"FOR i = 1\nNEXT\n", "line 1: FOR needs TO"},
        {"FOR i = 1 TO 2 STEP\nNEXT\n", "line 1: STEP needs a value"},
        {"IF 1 THEN\nELSE\nELSE\nENDIF\n", "line 3: second ELSE"},
        {"IF 1\n", "line 1: IF needs a condition and THEN"},
        {"WHILE\nWEND\n", "line 1: WHILE needs a condition"},
        {"x = 1\nWEND 2\n", "line 2: unexpected text after WEND"},
    };
    for (const Case& k : cases) {
        Program p;
        const Error e = Program::parse(k.source, p);
        EXPECT_EQ(e.message, k.message) << k.source;
    }
}

TEST(Program, ErrorsAndLocalsStopTheTask) {
    Interpreter in;
    StepOutcome last;
    // A failing line ends the task with its error, naming file and line.
    EXPECT_EQ(runToEnd(in, "PRINT 1\nPRINT nothing\nPRINT 3\n", &last),
              "1\nt.bas line 2: ERROR 2: unknown word nothing\n");
    EXPECT_EQ(last, StepOutcome::failed);
    // LOCAL belongs to programs; a reserved word is no local.
    std::string out;
    EXPECT_EQ(in.executeLine("LOCAL a", out).kind, ErrorKind::syntax);
    runToEnd(in, "LOCAL print\n", &last);
    EXPECT_EQ(last, StepOutcome::failed);
    // Locals shadow globals of the same name only inside their task.
    in.executeLine("GLOBAL rate : rate = 4", out);
    EXPECT_EQ(runToEnd(in, "LOCAL rate\nrate = 9\nPRINT rate\n"), "9\n");
    out.clear();
    in.executeLine("?rate", out);
    EXPECT_EQ(out, "4\n");
    // An endless loop runs as long as it is given lines.
    EXPECT_EQ(runToEnd(in, "WHILE 1\nWEND\n", &last, 1000), "");
    EXPECT_EQ(last, StepOutcome::ran);
}

}  // namespace
}  // namespace tvx::sim::interp
