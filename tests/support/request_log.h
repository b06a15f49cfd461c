// Reading the request packets an InProcessController recorded.
#pragma once

#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "support/frames.h"

namespace tvx::testing {

inline uint16_t commandOf(const Bytes& packet) { return getU16(packet.data() + 2); }

// The arguments (from offset 6) of a request packet.
inline Bytes argumentsOf(const Bytes& packet) { return Bytes(packet.begin() + 6, packet.end()); }

// The commands of the recorded requests from index `from` on, in order.
inline std::vector<uint16_t> commandsOf(const std::vector<Bytes>& requests, size_t from = 0) {
    std::vector<uint16_t> out;
    for (size_t i = from; i < requests.size(); ++i) out.push_back(commandOf(requests[i]));
    return out;
}

// The arguments of every recorded request with `command`, in order.
inline std::vector<Bytes> argumentsWith(const std::vector<Bytes>& requests, uint16_t command) {
    std::vector<Bytes> out;
    for (const Bytes& r : requests)
        if (commandOf(r) == command) out.push_back(argumentsOf(r));
    return out;
}

}  // namespace tvx::testing
