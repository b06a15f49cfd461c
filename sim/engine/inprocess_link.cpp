#include "engine/inprocess_link.h"

#include "base/result_codes.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "link/open_close.h"

namespace tvx::sim {
namespace {

int32_t sendToController(CommandChannel& ch, const uint8_t* bytes, uint32_t n) {
    ControllerHandle& h = ownerOf(ch);
    auto* link = static_cast<InProcessLink*>(h.linkState.load());
    if (!link || !link->controller) return rc::notOpen;
    link->sends.fetch_add(1, std::memory_order_relaxed);
    if (link->requestFilter && !link->requestFilter(link->filterContext, bytes, n)) return rc::ok;
    uint8_t reply[kFrameCapacity];
    size_t length = link->controller->handleFrame(ch.framing, bytes, n, reply, sizeof reply);
    if (link->filter) length = link->filter(link->filterContext, bytes, n, reply, length, sizeof reply);
    if (length > 0) {
        if (ch.framing == Framing::tcp) restartAssembly(ch);  // one datagram, one frame
        feedBytes(ch, reply, static_cast<uint32_t>(length));
    }
    return rc::ok;
}

int32_t prepare(ControllerHandle& h, const char*) {
    const bool tcp = h.driver->framing == Framing::tcp;
    h.channel.attempts = tcp ? 20 : 2;
    h.channel.baseWaitMs = tcp ? 30 : 5000;
    return rc::ok;
}

int32_t connectNothing(ControllerHandle&) { return rc::ok; }
void teardownNothing(ControllerHandle&) {}

constexpr LinkOps kOps = {
    sendToController, nullptr, handleUnsolicited, nullptr,
};
// The in-process stand-ins for an Ethernet and a serial link.
const LinkDriver kTcpDriver = {kOps,    TVX_LINK_ETHERNET, Framing::tcp, kFastLinkLimits, prepare, connectNothing,
                               nullptr, nullptr,           teardownNothing};
const LinkDriver kRtuDriver = {kOps,    TVX_LINK_SERIAL, Framing::rtu, kSerialLimits, prepare, connectNothing,
                               nullptr, nullptr,         teardownNothing};

}  // namespace

int32_t openInProcess(InProcessLink& link, TVX_HANDLE* out, bool fast, uint32_t timeoutMs) {
    OpenOptions o;
    o.kind = link.framing == Framing::tcp ? TVX_LINK_ETHERNET : TVX_LINK_SERIAL;
    o.address = link.address ? link.address : (link.framing == Framing::tcp ? "127.0.0.1:502" : "COM0");
    o.timeoutMs = fast ? timeoutMs : kDefaultTimeoutMs;
    o.probeTransfer = !fast;
    o.driver = link.framing == Framing::tcp ? &kTcpDriver : &kRtuDriver;
    o.linkState = &link;
    return openHandle(o, out);
}

size_t deliverPushes(InProcessLink& link, TVX_HANDLE handle, uint32_t nowMs) {
    std::vector<Controller::PushedFrame> frames;
    link.controller->takePushes(link.framing, nowMs, frames);
    for (const Controller::PushedFrame& f : frames) feedInProcess(handle, f.bytes.data(), f.bytes.size());
    return frames.size();
}

void feedInProcess(TVX_HANDLE handle, const uint8_t* bytes, size_t n) {
    ControllerHandle* h = fromApi(handle);
    if (!h) return;  // a handle whose slot was taken again
    if (h->channel.framing == Framing::tcp) restartAssembly(h->channel);
    feedBytes(h->channel, bytes, static_cast<uint32_t>(n));
}

}  // namespace tvx::sim
