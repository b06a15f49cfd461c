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

#include "interpreter/errors.h"
#include "interpreter/variables.h"

namespace tvx::sim::interp {

inline constexpr size_t kMaxLineLength = 1024;
inline constexpr size_t kMaxPasswordLength = 32;

class Interpreter {
public:
    // Runs one command line (statements separated by ':'), appending the
    // printed text to `out`. The first failing statement ends the line with
    // an error line; text printed by earlier statements stays.
    Error executeLine(std::string_view line, std::string& out);

    Variables& variables() { return vars_; }
    bool locked() const { return locked_; }

private:
    friend class LineRunner;
    Variables vars_;
    bool locked_ = false;
    std::string password_;
};

}  // namespace tvx::sim::interp
