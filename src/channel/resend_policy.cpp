#include "channel/resend_policy.h"

#include <algorithm>

namespace tvx {
namespace {

// Round trips are measured in microseconds: the clock's granularity is the
// least margin an interval keeps over the mean round trip. The interval is
// then rounded up to the whole milliseconds a wait is counted in.
constexpr uint64_t kClockGranularityUs = 1;
constexpr uint64_t kWaitTickUs = 1000;

uint64_t doubled(uint64_t ms, uint32_t attempt) { return ms << std::min<uint32_t>(attempt, 31); }

}  // namespace

bool setResendPolicy(ResendEstimator& e, ResendPolicy policy, uint32_t floorMs, uint32_t capMs) {
    if (policy == ResendPolicy::fixed) {
        e.policy = policy;
        return true;
    }
    if (policy != ResendPolicy::adaptive) return false;
    if (floorMs == 0 || capMs < floorMs || capMs > kLargestResendCapMs) return false;
    e.policy = policy;
    e.floorMs = floorMs;
    e.capMs = capMs;
    return true;
}

void addRoundTrip(ResendEstimator& e, uint64_t roundTripUs) {
    if (!e.measured) {
        e.smoothedUs = roundTripUs;
        e.variationUs = roundTripUs / 2;
        e.measured = true;
        return;
    }
    // RTTVAR first, from the SRTT before this sample: beta 1/4, alpha 1/8.
    const uint64_t deviation = e.smoothedUs > roundTripUs ? e.smoothedUs - roundTripUs : roundTripUs - e.smoothedUs;
    e.variationUs = (3 * e.variationUs + deviation) / 4;
    e.smoothedUs = (7 * e.smoothedUs + roundTripUs) / 8;
}

uint64_t estimatedIntervalUs(const ResendEstimator& e) {
    if (!e.measured) return 0;
    return e.smoothedUs + std::max(kClockGranularityUs, 4 * e.variationUs);
}

uint32_t resendWaitMs(const ResendEstimator& e, uint32_t baseWaitMs, uint32_t attempt) {
    if (e.policy != ResendPolicy::adaptive) {
        return static_cast<uint32_t>(std::min<uint64_t>(doubled(baseWaitMs, attempt), UINT32_MAX));
    }
    uint64_t first = e.measured ? (estimatedIntervalUs(e) + kWaitTickUs - 1) / kWaitTickUs : baseWaitMs;
    first = std::clamp<uint64_t>(first, e.floorMs, e.capMs);
    return static_cast<uint32_t>(std::min<uint64_t>(doubled(first, attempt), e.capMs));
}

}  // namespace tvx
