// Parses arbitrary answer texts as the number of a variable query: the
// parser must stop at the terminator and never read past it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "monitoring/variable_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The answer buffer is exactly the text and its terminator.
    std::unique_ptr<char[]> text(new char[size + 1]);
    std::memcpy(text.get(), data, size);
    text[size] = 0;
    float value = 1.5f;
    if (!tvx::parseAnswerNumber(text.get(), &value) && value != 1.5f) std::abort();
    return 0;
}
