// A small interpreter of the controller's line-oriented command language,
// as a host sees it through the command buffer and direct commands:
//
//   VR(3) = 2.5 * (1 + TABLE(0)) : ?VR(3), ABS(-2)
//   DIM speeds(8) : GLOBAL count : speeds(1) = SPEED(1)
//   PRINT "pos", DPOS(0) ; MPOS(0)
//   IFAUTOUP_PORT = 1 : Lock(secret) : UnLock(secret)
//
// Numbers are doubles; whole numbers print without a fraction. Comparisons
// and logical operators give 1 or 0. Names and keywords ignore case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interpreter/errors.h"
#include "interpreter/variables.h"

namespace tvx::sim::interp {

inline constexpr size_t kMaxLineLength = 1024;
inline constexpr size_t kMaxPasswordLength = 32;

// The local variables of a program task, in the order LOCAL declared them.
using Locals = std::vector<std::pair<std::string, double>>;
inline constexpr size_t kMaxLocals = 64;

class Interpreter {
public:
    // Runs one command line (statements separated by ':'), appending the
    // printed text to `out`. The first failing statement ends the line with
    // an error line; text printed by earlier statements stays.
    Error executeLine(std::string_view line, std::string& out);
    // Runs one line of a program task: its locals come before global names,
    // and LOCAL declares more of them. Errors are returned, not printed.
    Error executeProgramLine(std::string_view line, std::string& out, Locals& locals);
    // Evaluates one expression, seeing `locals` when given.
    Error evaluate(std::string_view expression, double& v, Locals* locals = nullptr);
    // The locals command lines from the host see (those of a task stopped
    // in the debugger), or null. The pointer must stay valid until reset.
    void setHostLocals(Locals* locals) { hostLocals_ = locals; }
    Locals* hostLocals() const { return hostLocals_; }

    Variables& variables() { return vars_; }
    bool locked() const { return locked_; }

private:
    friend class LineRunner;
    Variables vars_;
    bool locked_ = false;
    std::string password_;
    Locals* locals_ = nullptr;  // of the line being run
    Locals* hostLocals_ = nullptr;
    bool inProgram_ = false;
};

}  // namespace tvx::sim::interp
