// Reply data of the remote LCD and camera image requests, built
// independently of the library for tests that script a controller.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "support/frames.h"
#include "support/inprocess_fixture.h"

namespace tvx::testing {

struct PixelRun {
    uint16_t colour;
    uint32_t count;  // 1 to 256
};

inline void appendU16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void appendU32(Bytes& b, uint32_t v) {
    appendU16(b, static_cast<uint16_t>(v));
    appendU16(b, static_cast<uint16_t>(v >> 16));
}

inline Bytes encodeRunBytes(const std::vector<PixelRun>& runs) {
    Bytes b;
    for (const PixelRun& r : runs) {
        appendU16(b, r.colour);
        b.push_back(static_cast<uint8_t>(r.count - 1));
    }
    return b;
}

// Chunk reply data: next position, kind, encoded length (the real one
// unless `claimed` is given), the encoded bytes.
inline Bytes chunkData(uint32_t next, const Bytes& encoded, uint16_t kind = 1, int claimed = -1) {
    Bytes d;
    appendU32(d, next);
    appendU16(d, kind);
    appendU16(d, claimed >= 0 ? static_cast<uint16_t>(claimed) : static_cast<uint16_t>(encoded.size()));
    d.insert(d.end(), encoded.begin(), encoded.end());
    return d;
}

inline uint16_t commandOf(const Bytes& request) { return getU16(request.data() + 2); }
inline uint32_t positionOf(const Bytes& request) { return getU32(request.data() + 10); }

// An in-process controller whose replies to chosen requests come from a
// script: `answer` returns reply data (status 0) or nothing to let the
// simulated controller answer.
class ScriptedController : public InProcessController {
public:
    using Answer = std::function<std::optional<Bytes>(const Bytes& request)>;

    explicit ScriptedController(Framing framing = Framing::tcp) : InProcessController(framing) {
        filter = [this](const Bytes& request, Bytes& reply) {
            if (!answer) return true;
            if (std::optional<Bytes> data = answer(request))
                reply = replyPacket(commandOf(request), getU16(request.data() + 4), 0, *data);
            return true;
        };
    }
    // The requests of one command, in order.
    std::vector<Bytes> sent(uint16_t command) const {
        std::vector<Bytes> out;
        for (const Bytes& r : requests)
            if (commandOf(r) == command) out.push_back(r);
        return out;
    }

    Answer answer;
};

}  // namespace tvx::testing
