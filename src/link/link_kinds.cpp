// The link kinds known to the open sequence.
#include <cstdlib>
#include <cstring>

#include "base/ascii.h"
#include "base/result_codes.h"
#include "link/ethernet_link.h"
#include "link/handle.h"
#include "link/link_driver.h"
#include "link/pci_link.h"

namespace tvx {
namespace {

int32_t prepareSerial(ControllerHandle& h, const char*) {
    h.channel.attempts = 2;
    h.channel.baseWaitMs = kDefaultTimeoutMs;
    return rc::ok;
}

// Serial ports need a platform backend this build does not have yet:
// opening them reports that plainly.
int32_t connectUnavailable(ControllerHandle&) { return rc::unsupported; }
void teardownNothing(ControllerHandle&) {}

const LinkOps kCommonOps = {
    nullptr, commonWaitReply, commonSignalReply, commonNoteActivity, commonIdleExpired, handleUnsolicited,
};

const LinkDriver kSerialDriver = {1, Framing::rtu, prepareSerial, connectUnavailable, teardownNothing, &kCommonOps};

}  // namespace

const LinkDriver* driverForKind(int32_t kind) {
    switch (kind) {
        case TVX_LINK_SERIAL:
            return &kSerialDriver;
        case TVX_LINK_ETHERNET:
            return &ethernetDriver();
        case TVX_LINK_PCI:
            return &pciDriver();
        default:
            return nullptr;
    }
}

}  // namespace tvx
