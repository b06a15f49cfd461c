#include <gtest/gtest.h>

#include <string>

#include "interpreter/interpreter.h"

namespace tvx::sim::interp {
namespace {

class InterpVariables : public ::testing::Test {
protected:
    // Runs a line and returns its answer.
    std::string run(const std::string& line) {
        std::string out;
        last = in.executeLine(line, out);
        return out;
    }
    Interpreter in;
    Error last;
};

TEST_F(InterpVariables, VrAndTableHoldValues) {
    EXPECT_EQ(run("VR(0)=1.25 : vr(1) = VR(0)*2 : TABLE(100)=-7"), "");
    EXPECT_EQ(run("?VR(0), VR(1), TABLE(100), TABLE(101)"), "1.25 2.5 -7 0\n");
    EXPECT_EQ(in.variables().vr()[1], 2.5);
    EXPECT_EQ(run("VR(2.9)=5 : ?VR(2)"), "5\n");  // indices are truncated
    EXPECT_EQ(run("VR(VR(0)+2)=8 : ?VR(3)"), "8\n");
}

TEST_F(InterpVariables, IndicesOutsideTheArraysAreRefused) {
    for (const std::string line : {"?VR(-1)", "VR(4096)=1", "?TABLE(65536)", "?TABLE(1e300)", "?VR(-0.5-1)"}) {
        run(line);
        EXPECT_EQ(last.kind, ErrorKind::indexRange) << line;
    }
    EXPECT_EQ(run("?VR(4095), TABLE(65535)"), "0 0\n");
}

TEST_F(InterpVariables, DimAndGlobalDeclareNamesAndArrays) {
    EXPECT_EQ(run("DIM speed_max, ramp(4) : GLOBAL count : GLOBAL DIM Grid(10)"), "");
    EXPECT_EQ(run("speed_max = 12 : ramp(3) = 4 : COUNT = count + 1 : grid(9) = ramp(3) * 2"), "");
    EXPECT_EQ(run("?SPEED_MAX, RAMP(3), count, GRID(9)"), "12 4 1 8\n");
    EXPECT_EQ(run("DIM ramp(4) : ?ramp(3)"), "4\n");  // the same declaration again keeps the values

    const struct {
        const char* line;
        ErrorKind kind;
    } refused[] = {
        {"DIM ramp(5)", ErrorKind::nameInUse},        // another shape
        {"DIM count(2)", ErrorKind::nameInUse},
        {"DIM VR", ErrorKind::nameInUse},             // reserved words
        {"GLOBAL abs", ErrorKind::nameInUse},
        {"DIM big(100001)", ErrorKind::badValue},
        {"DIM none(0)", ErrorKind::badValue},
        {"?ramp(4)", ErrorKind::indexRange},
        {"?ramp", ErrorKind::syntax},                 // an array needs its index
        {"?count(1)", ErrorKind::syntax},             // a scalar takes none
        {"undeclared = 1", ErrorKind::unknownWord},
        {"ramp(1) 5", ErrorKind::syntax},
        {"count", ErrorKind::syntax},
        {"DIM 5", ErrorKind::syntax},
    };
    for (const auto& r : refused) {
        run(r.line);
        EXPECT_EQ(last.kind, r.kind) << r.line;
    }
}

TEST_F(InterpVariables, NamedStorageIsBounded) {
    for (int i = 0; i < 9; ++i) {
        run("DIM a" + std::to_string(i) + "(100000)");
        ASSERT_FALSE(last) << i << last.message;
    }
    run("DIM a9(100000)");
    EXPECT_FALSE(last);
    run("DIM a10(1)");
    EXPECT_EQ(last.kind, ErrorKind::noMemory);
    run("DIM " + std::string(33, 'x'));
    EXPECT_EQ(last.kind, ErrorKind::syntax);
}

TEST_F(InterpVariables, AxisParametersPerAxis) {
    EXPECT_EQ(run("?UNITS(0), SPEED(1), DPOS(2), MPOS(3)"), "1 100 0 0\n");
    EXPECT_EQ(run("UNITS(1)=1000 : SPEED(1)=25.5 : DPOS(1)=12 : ?UNITS(1), SPEED(1), DPOS(1), MPOS(1)"),
              "1000 25.5 12 12\n");
    EXPECT_EQ(run("MPOS(1)=11.5 : ?DPOS(1), MPOS(1), UNITS(0)"), "12 11.5 1\n");
    EXPECT_EQ(run("SPEED=3 : ?SPEED(0), SPEED"), "3 3\n");  // without a number: axis 0
    in.variables().setAxisCount(4);
    run("?DPOS(4)");
    EXPECT_EQ(last.kind, ErrorKind::badAxis);
    run("SPEED(-1)=1");
    EXPECT_EQ(last.kind, ErrorKind::badAxis);
    run("UNITS(0)=0");
    EXPECT_EQ(last.kind, ErrorKind::badValue);
    run("ACCEL(0)=-5");
    EXPECT_EQ(last.kind, ErrorKind::badValue);
}

TEST_F(InterpVariables, AutoUploadSwitchAndLock) {
    EXPECT_EQ(run("IFAUTOUP_PORT=1"), "");
    EXPECT_TRUE(in.variables().autoUploadPort);
    EXPECT_EQ(run("?IFAUTOUP_PORT"), "1\n");
    EXPECT_EQ(run("IFAUTOUP_PORT=0"), "");
    EXPECT_FALSE(in.variables().autoUploadPort);
    run("IFAUTOUP_PORT=2");
    EXPECT_EQ(last.kind, ErrorKind::badValue);

    EXPECT_EQ(run("Lock(s3cr#t!)"), "");
    EXPECT_TRUE(in.locked());
    run("Lock(other)");
    EXPECT_EQ(last.kind, ErrorKind::locked);
    run("UnLock(wrong)");
    EXPECT_EQ(last.kind, ErrorKind::locked);
    EXPECT_TRUE(in.locked());
    EXPECT_EQ(run("UNLOCK(s3cr#t!) : ?1"), "1\n");
    EXPECT_FALSE(in.locked());
    run("Lock(unclosed");
    EXPECT_EQ(last.kind, ErrorKind::syntax);
    run("Lock(" + std::string(33, 'p') + ")");
    EXPECT_EQ(last.kind, ErrorKind::badValue);
    EXPECT_FALSE(in.locked());
}

}  // namespace
}  // namespace tvx::sim::interp
