// When a transaction resends its request. The fixed policy waits the
// link's base wait before the first resend, doubling after it: controllers
// built for that timing may take that long to answer. The adaptive policy,
// chosen per handle for fast networks, waits an interval estimated from
// the link's measured round trips instead (smoothed mean and variation as
// TCP keeps them), kept between a floor and a cap the caller gives.
//
// Round trips are measured while the adaptive policy is in force (the
// default path reads no extra clock), and only from requests answered
// without a resend: a reply to a resent request cannot tell which copy it
// answers. A return to the fixed policy keeps what was measured.
#pragma once

#include <cstdint>

namespace tvx {

enum class ResendPolicy : uint8_t { fixed = 0, adaptive = 1 };

// The largest cap the adaptive policy accepts: one minute.
inline constexpr uint32_t kLargestResendCapMs = 60000;

struct ResendEstimator {
    ResendPolicy policy = ResendPolicy::fixed;
    uint32_t floorMs = 0;
    uint32_t capMs = 0;
    bool measured = false;
    uint64_t smoothedUs = 0;   // SRTT
    uint64_t variationUs = 0;  // RTTVAR
};

// Sets the policy; false (and nothing changed) for an unknown policy or,
// for the adaptive one, a floor of 0, a cap below the floor or above
// kLargestResendCapMs. The measured round trips are kept.
bool setResendPolicy(ResendEstimator& e, ResendPolicy policy, uint32_t floorMs, uint32_t capMs);

// Takes one round trip of a request answered without a resend.
void addRoundTrip(ResendEstimator& e, uint64_t roundTripUs);

// The retransmission interval the estimate gives, in microseconds (SRTT +
// max(1 us, 4 RTTVAR), the microsecond being the clock's granularity); 0
// before the first round trip.
uint64_t estimatedIntervalUs(const ResendEstimator& e);

// Wait before resend number `attempt` (0: before the first resend). Fixed:
// the base wait doubled per attempt. Adaptive: the estimate in whole
// milliseconds (the base wait until a round trip was measured) kept within
// floor and cap, doubled per attempt up to the cap. The caller cuts it to
// its budget.
uint32_t resendWaitMs(const ResendEstimator& e, uint32_t baseWaitMs, uint32_t attempt);

}  // namespace tvx
