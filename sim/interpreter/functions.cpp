#include "interpreter/functions.h"

#include <cmath>

namespace tvx::sim::interp {
namespace {

double fnAbs(double x, ErrorKind*) { return std::fabs(x); }
double fnSqr(double x, ErrorKind* e) {
    if (x < 0) *e = ErrorKind::badValue;
    return x < 0 ? 0 : std::sqrt(x);
}
// INT and FRAC split a number at the decimal point (toward zero).
double fnInt(double x, ErrorKind*) { return std::trunc(x); }
double fnFrac(double x, ErrorKind*) { return x - std::trunc(x); }
double fnSgn(double x, ErrorKind*) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }
double fnSin(double x, ErrorKind*) { return std::sin(x); }
double fnCos(double x, ErrorKind*) { return std::cos(x); }
double fnTan(double x, ErrorKind*) { return std::tan(x); }
double fnAtan(double x, ErrorKind*) { return std::atan(x); }
double fnExp(double x, ErrorKind*) { return std::exp(x); }
double fnLn(double x, ErrorKind* e) {
    if (x <= 0) *e = ErrorKind::badValue;
    return x <= 0 ? 0 : std::log(x);
}

struct Entry {
    std::string_view name;
    BuiltinFn fn;
};

constexpr Entry kFunctions[] = {
    {"ABS", fnAbs}, {"SQR", fnSqr}, {"INT", fnInt}, {"FRAC", fnFrac}, {"SGN", fnSgn}, {"SIN", fnSin},
    {"COS", fnCos}, {"TAN", fnTan}, {"ATAN", fnAtan}, {"EXP", fnExp}, {"LN", fnLn},
};

}  // namespace

BuiltinFn findFunction(std::string_view upperName) {
    for (const Entry& e : kFunctions)
        if (e.name == upperName) return e.fn;
    return nullptr;
}

}  // namespace tvx::sim::interp
