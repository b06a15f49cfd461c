// The handle's resend policy and its round-trip estimate.
#include <algorithm>

#include "base/debug_output.h"
#include "base/result_codes.h"
#include "channel/resend_policy.h"
#include "link/handle_table.h"
#include "link/locked_transact.h"

using namespace tvx;

namespace {

uint32_t clampedMicros(uint64_t us) { return static_cast<uint32_t>(std::min<uint64_t>(us, UINT32_MAX)); }

}  // namespace

extern "C" {

TVX_API int32_t TVX_STDCALL TVX_SetResendPolicy(TVX_HANDLE handle, int32_t policy, uint32_t floorMs, uint32_t capMs) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (policy != TVX_RESEND_FIXED && policy != TVX_RESEND_ADAPTIVE)
        return refuse(rc::badArgument, "policy is neither TVX_RESEND_FIXED nor TVX_RESEND_ADAPTIVE");
    if (policy == TVX_RESEND_ADAPTIVE && (floorMs == 0 || capMs < floorMs || capMs > kLargestResendCapMs))
        return refuse(rc::badArgument, "floorMs is 0, or capMs is below floorMs or above 60000");
    return lockedChannelCall(*h, [&](CommandChannel& ch, uint32_t) {
        if (policy == TVX_RESEND_ADAPTIVE && ch.linkKind != TVX_LINK_ETHERNET)
            return refuse(rc::badArgument, "the adaptive policy is for Ethernet links");
        setResendPolicy(ch.resend, static_cast<ResendPolicy>(policy), floorMs, capMs);
        return static_cast<int32_t>(rc::ok);
    });
}

TVX_API int32_t TVX_STDCALL TVX_GetResendEstimate(TVX_HANDLE handle, uint32_t* firstWaitMs, uint32_t* smoothedUs,
                                                  uint32_t* variationUs) {
    ControllerHandle* h = validHandle(handle);
    if (!h) return rc::invalidHandle;
    if (!firstWaitMs || !smoothedUs || !variationUs) return refuse(rc::badArgument, "an output pointer is NULL");
    return lockedChannelCall(*h, [&](CommandChannel& ch, uint32_t) {
        *firstWaitMs = resendWaitMs(ch.resend, ch.baseWaitMs, 0);
        *smoothedUs = clampedMicros(ch.resend.smoothedUs);
        *variationUs = clampedMicros(ch.resend.variationUs);
        return static_cast<int32_t>(rc::ok);
    });
}

}  // extern "C"
