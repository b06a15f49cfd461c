// A channel with a scripted link for tests of the transaction layer: every
// send is recorded, and a test-supplied responder may feed reply bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "channel/channel.h"
#include "test_clock.h"

namespace tvx::testing {

class ScriptedChannel {
public:
    using Responder = std::function<void(ScriptedChannel&, const std::vector<uint8_t>& frame)>;

    explicit ScriptedChannel(Framing framing, uint32_t attempts = 1, uint32_t baseWaitMs = 100) {
        initChannel(ch, framing, kBufferSize, tx, reply, rx);
        ch.owner = this;
        ch.attempts = attempts;
        ch.baseWaitMs = baseWaitMs;
        ch.ops = &ops;
    }

    // Feeds bytes as a link receive path would.
    int32_t feed(const std::vector<uint8_t>& bytes) {
        return feedBytes(ch, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    CommandChannel ch;
    uint8_t tx[kBufferSize] = {};
    uint8_t reply[kBufferSize] = {};
    uint8_t rx[kBufferSize] = {};
    std::vector<std::vector<uint8_t>> sent;
    std::vector<std::vector<uint8_t>> unsolicitedPackets;
    Responder responder;
    int32_t sendResult = 0;

private:
    static ScriptedChannel& self(CommandChannel& c) { return *static_cast<ScriptedChannel*>(c.owner); }
    static int32_t send(CommandChannel& c, const uint8_t* b, uint32_t n) {
        auto& s = self(c);
        if (s.sendResult != 0) return s.sendResult;
        s.sent.emplace_back(b, b + n);
        if (s.responder) s.responder(s, s.sent.back());
        return 0;
    }
    static void pushed(CommandChannel& c, const uint8_t* p, uint32_t n) { self(c).unsolicitedPackets.emplace_back(p, p + n); }

    // The channel waits on its own reply event, as for a threaded link.
    LinkOps ops{send, nullptr, pushed, nullptr};
};

}  // namespace tvx::testing
