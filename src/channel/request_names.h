// Request codes by name, for traces and diagnostics. The table is generated
// at build time from request_codes.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx {

struct RequestName {
    uint16_t code;
    const char* name;
};

extern const RequestName kRequestNames[];
extern const size_t kRequestNameCount;

// The name of a request code, or null for a code without one.
inline const char* requestName(uint16_t code) {
    for (size_t i = 0; i < kRequestNameCount; ++i)
        if (kRequestNames[i].code == code) return kRequestNames[i].name;
    return nullptr;
}

}  // namespace tvx
