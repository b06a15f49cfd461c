#include "session.h"

#include <cstdio>

#include "args.h"
#include "tools/tool_interface.h"

namespace tvx::tool {

int reportFailure(const std::string& what, int32_t code) {
    std::fprintf(stderr, "tvx %s: %s (%d)\n", what.c_str(), TVX_DescribeResult(code), code);
    return kExitFailure;
}

bool linkLost(int32_t code) {
    return code == TVX_CH_NO_REPLY || code == TVX_ERR_NOT_OPEN || code == TVX_ERR_LINK_WRITE ||
           code == TVX_ERR_INVALID_HANDLE;
}

Session::~Session() {
    if (handle_) TVX_Close(handle_);
}

namespace {

// The adaptive policy's bounds: a wait of at least one tick and, however
// the round trips grow, at most a second.
constexpr uint32_t kAdaptiveFloorMs = 1;
constexpr uint32_t kAdaptiveCapMs = 1000;

// "PCI<n>" or "PCIE<n>" in any letter case: a card behind the PCI driver.
bool isCardAddress(std::string_view text) {
    std::string prefix;
    size_t i = 0;
    for (; i < text.size() && !(text[i] >= '0' && text[i] <= '9'); ++i) prefix += upperAscii(text[i]);
    return (prefix == "PCI" || prefix == "PCIE") && i < text.size() &&
           text.find_first_not_of("0123456789", i) == std::string_view::npos;
}

}  // namespace

int Session::open(const Command& command, std::string_view address, const GlobalOptions& global) {
    const bool card = isCardAddress(address);
    if (!card && !isControllerAddress(address))
    {
        // Appended piece by piece: GCC 12 warns (a false -Wrestrict) on
        // "literal" + std::string&& at -O3.
        std::string message = "'";
        message.append(address).append("' is not a controller address (a.b.c.d, COMn or PCI<n>)");
        return usageError(command, message);
    }
    address_ = std::string(address);
    uint32_t port;
    const bool serial = parseSerialAddress(address, &port);
    if (global.adaptiveResend && (card || serial))
        return usageError(command, "--resend adaptive is for Ethernet controllers");
    if (serial) return openSerial(command, port, global);
    const int32_t r = card ? TVX_Open(TVX_LINK_PCI, address_.c_str(), &handle_)
                           : TVX_SearchAndOpenEth(address_.c_str(), global.probeMs, &handle_);
    if (r == TVX_ERR_ETHERNET) {
        std::fprintf(stderr, "tvx %s: no controller answered at %s within %u ms (%d)\n", command.name, address_.c_str(),
                     global.probeMs, r);
        handle_ = nullptr;
        return kExitFailure;
    }
    if (r != TVX_OK) {
        handle_ = nullptr;
        return reportFailure(std::string(command.name) + " " + address_, r);
    }
    if (global.timeoutMs != 0) TVX_SetTimeOut(handle_, global.timeoutMs);
    if (global.adaptiveResend) {
        const int32_t p = TVX_SetResendPolicy(handle_, TVX_RESEND_ADAPTIVE, kAdaptiveFloorMs, kAdaptiveCapMs);
        if (p != TVX_OK) return reportFailure(std::string(command.name) + " " + address_, p);
    }
    return kExitOk;
}

int Session::openSerial(const Command& command, uint32_t port, const GlobalOptions& global) {
    const int32_t r = TVX_OpenCom(port, &handle_);
    if (r != TVX_OK) {
        handle_ = nullptr;
        if (r == TVX_CH_NO_REPLY) {
            std::fprintf(stderr, "tvx %s: no controller answered on %s (%d)\n", command.name, address_.c_str(), r);
            return kExitFailure;
        }
        // The device the port names and the system's reason, when the
        // device itself could not be opened.
        if (r == TVX_ERR_SERIAL && *platform::lastSerialFailure()) {
            std::fprintf(stderr, "tvx %s %s: %s (%d): %s\n", command.name, address_.c_str(), tvx_describe_result(r), r,
                         platform::lastSerialFailure());
            return kExitFailure;
        }
        return reportFailure(std::string(command.name) + " " + address_, r);
    }
    if (global.timeoutMs != 0) TVX_SetTimeOut(handle_, global.timeoutMs);
    return kExitOk;
}

}  // namespace tvx::tool
