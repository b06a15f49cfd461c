// The link kinds known to the open sequence.
#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "base/result_codes.h"
#include "link/ethernet_link.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "link/serial_link.h"

namespace tvx {
namespace {

int32_t preparePci(ControllerHandle& h, const char* address) {
    if (!startsWithNoCase(address, "PCI")) return rc::badArgument;
    h.channel.attempts = 2;
    h.channel.baseWaitMs = kDefaultTimeoutMs;
    return rc::ok;
}

// PCI cards need a platform backend this build does not have yet: opening
// them reports that plainly.
int32_t connectUnavailable(ControllerHandle&) { return rc::unsupported; }
void teardownNothing(ControllerHandle&) {}

const LinkOps kCommonOps = {
    nullptr, commonWaitReply, commonSignalReply, commonNoteActivity, commonIdleExpired, handleUnsolicited,
};

const LinkDriver kPciDriver = {4, Framing::rtu, preparePci, connectUnavailable, teardownNothing, &kCommonOps};

}  // namespace

const LinkDriver* driverForKind(int32_t kind) {
    switch (kind) {
        case TVX_LINK_SERIAL:
            return &serialDriver();
        case TVX_LINK_ETHERNET:
            return &ethernetDriver();
        case TVX_LINK_PCI:
            return &kPciDriver;
        default:
            return nullptr;
    }
}

}  // namespace tvx
