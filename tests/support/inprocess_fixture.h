// Opens real handles over the in-process link to a simulated controller,
// with a hook to rewrite reply packets before they reach the library.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/bytes.h"
#include "engine/inprocess_link.h"
#include "support/frames.h"
#include "tavrix.h"

namespace tvx::testing {

class InProcessController {
public:
    // Sees the request packet and may rewrite the reply packet; returning
    // false drops the reply.
    using PacketFilter = std::function<bool(const Bytes& request, Bytes& reply)>;

    explicit InProcessController(Framing framing) {
        link.controller = &controller;
        link.framing = framing;
        link.filter = &InProcessController::filterThunk;
        link.filterContext = this;
        link.requestFilter = &InProcessController::requestThunk;
    }
    ~InProcessController() {
        if (handle) TVX_Close(handle);
    }

    int32_t open(bool fast = false, uint32_t timeoutMs = 5000) { return sim::openInProcess(link, &handle, fast, timeoutMs); }
    bool tcp() const { return link.framing == Framing::tcp; }
    sim::ControllerModel& model() { return controller.model(); }

    sim::Controller controller;
    sim::InProcessLink link;
    TVX_HANDLE handle = nullptr;
    PacketFilter filter;
    // Sees each request packet before the controller; true loses it.
    std::function<bool(const Bytes& request)> dropRequest;
    std::vector<Bytes> requests;  // every function-72 request packet sent
    // Every standard Modbus request (function code first, framing removed).
    std::vector<Bytes> standardFrames;

private:
    static bool requestThunk(void* ctx, const uint8_t* request, size_t n) {
        auto& self = *static_cast<InProcessController*>(ctx);
        const size_t hdr = self.tcp() ? 6 : 0;
        const size_t trailer = self.tcp() ? 0 : 2;
        if (n >= hdr + 2 + trailer && request[hdr + 1] != 72)
            self.standardFrames.emplace_back(request + hdr + 1, request + n - trailer);
        if (!self.dropRequest || n < hdr + 2 + trailer || request[hdr + 1] != 72) return true;
        return !self.dropRequest(Bytes(request + hdr + 2, request + n - trailer));
    }
    static size_t filterThunk(void* ctx, const uint8_t* request, size_t requestLength, uint8_t* reply,
                              size_t replyLength, size_t capacity) {
        auto& self = *static_cast<InProcessController*>(ctx);
        const size_t hdr = self.tcp() ? 6 : 0;
        const size_t trailer = self.tcp() ? 0 : 2;
        if (requestLength < hdr + 2 + trailer || request[hdr + 1] != 72) return replyLength;
        Bytes req(request + hdr + 2, request + requestLength - trailer);
        self.requests.push_back(req);
        if (!self.filter) return replyLength;
        Bytes pkt;
        if (replyLength >= hdr + 2 + trailer) pkt.assign(reply + hdr + 2, reply + replyLength - trailer);
        if (!self.filter(req, pkt)) return 0;
        Bytes frame = frameFor(self.tcp(), reply[hdr], 72, pkt);
        if (frame.size() > capacity) return 0;
        std::copy(frame.begin(), frame.end(), reply);
        return frame.size();
    }
};

// Sets the length field of a reply packet after its bytes were edited.
inline void fixLength(Bytes& pkt) { putU16(pkt.data(), static_cast<uint16_t>(pkt.size())); }

}  // namespace tvx::testing
