// A C++ program built against an installed tavrix through its CMake package:
// the header-only layer must compile cleanly with strict warnings.
// Usage: consumer_cpp EXPECTED_VERSION
#include <cstdio>
#include <string>

#include <tavrix.hpp>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const tavrix::Result<std::string> version = tavrix::version();
    if (!version || *version != argv[1]) {
        std::printf("version %s, expected %s\n", version.value_or("?").c_str(), argv[1]);
        return 1;
    }
    tavrix::Controller none;
    if (none.state().code() != TVX_ERR_INVALID_HANDLE) return 1;
    std::printf("tavrix %s (C++)\n", version->c_str());
    return 0;
}
