// Parses arbitrary text as a BASIC program file of the simulated
// controller and runs a bounded number of its lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "interpreter/program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tvx::sim::interp;
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    Program program;
    if (Program::parse(source, program)) return 0;
    Interpreter interpreter;
    ProgramTask task("fuzz.bas", program);
    std::string out;
    for (int i = 0; i < 2000 && task.step(interpreter, out) == StepOutcome::ran; ++i) {
        if (out.size() > 65536) out.clear();
    }
    return 0;
}
