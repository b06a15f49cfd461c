// The interpreter's error kinds. Every failed command line answers with one
// error line naming its kind and a message; a direct command also reports
// the kind in its reply status.
#pragma once

#include <string>
#include <string_view>

namespace tvx::sim::interp {

enum class ErrorKind : int {
    none = 0,
    syntax = 1,
    unknownWord = 2,
    indexRange = 3,
    divisionByZero = 4,
    badValue = 5,
    badAxis = 6,
    nameInUse = 7,
    noMemory = 8,
    lineTooLong = 9,
    locked = 10,
};

struct Error {
    ErrorKind kind = ErrorKind::none;
    std::string message;
    explicit operator bool() const { return kind != ErrorKind::none; }
};

// "ERROR <kind>: <message>" and a line feed.
std::string errorLine(const Error& e);

// Status of a direct-command reply that failed with `kind`.
inline constexpr int kDirectStatusBase = 2000;
inline int directStatus(ErrorKind kind) { return kind == ErrorKind::none ? 0 : kDirectStatusBase + static_cast<int>(kind); }

// The text of a number as the interpreter prints it: whole numbers without
// a fraction, others with at most four decimals.
std::string formatNumber(double v);

}  // namespace tvx::sim::interp
