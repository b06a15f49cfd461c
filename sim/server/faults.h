// Seeded fault injection for the simulated controller: which requests are
// ignored and what happens to each reply. Frames and discovery probes have
// separate shares: an open sends a single probe. One seed and one stream of
// datagrams always give the same faults, so a failing run can be repeated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvx::sim {

struct FaultPlan {
    uint64_t seed = 1;
    // Shares between 0 and 1.
    double dropRequests = 0;
    double dropReplies = 0;
    double duplicateReplies = 0;
    double reorderReplies = 0;
    double corruptReplies = 0;
    double noise = 0;
    double dropProbes = 0;  // discovery probes left unanswered
    uint32_t delayMs = 0;
    uint32_t jitterMs = 0;
    bool silent = false;
};

// SplitMix64: tiny, fast and the same on every platform and standard
// library, unlike the standard distributions.
class SeededRandom {
public:
    explicit SeededRandom(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // True with probability `share`; always consumes one draw.
    bool chance(double share);
    // A value in [0, bound); 0 when bound is 0. Always consumes one draw.
    uint32_t below(uint32_t bound);

private:
    uint64_t state_;
};

struct ReplyFate {
    bool drop = false;
    bool duplicate = false;
    bool hold = false;  // sent after the next reply: the two swap places
    bool noise = false; // a noise datagram goes out before the reply
    bool corrupt = false;
    uint32_t corruptAt = 0;  // byte index, reduced modulo the reply length
    uint8_t corruptMask = 0; // never 0
    uint32_t delayMs = 0;
};

class FaultInjector {
public:
    explicit FaultInjector(const FaultPlan& plan) : plan_(plan), random_(plan.seed), faultless_(faultless(plan)) {}

    const FaultPlan& plan() const { return plan_; }
    // True when the plan can only drop datagrams: every reply it lets
    // through goes out once, unchanged and at once.
    bool dropsOnly() const {
        return plan_.duplicateReplies <= 0 && plan_.reorderReplies <= 0 && plan_.corruptReplies <= 0 &&
               plan_.noise <= 0 && plan_.delayMs == 0 && plan_.jitterMs == 0;
    }
    bool dropRequest() { return !faultless_ && random_.chance(plan_.dropRequests); }
    bool dropProbe() { return !faultless_ && random_.chance(plan_.dropProbes); }
    // Decides the fate of one reply; draws the same number of values
    // whatever the plan says, so that changing one share leaves the others'
    // choices in place.
    ReplyFate replyFate();
    // Fills `out` with a noise datagram: random bytes, or a copy of `reply`
    // whose packet sequence no longer matches (a stale or foreign reply).
    size_t makeNoise(const uint8_t* reply, size_t n, uint8_t* out, size_t capacity);

private:
    // True when no share and no delay is set: nothing can happen to any
    // datagram, so no value is drawn (the draws cost as much as the rest of
    // a reply's handling and could change nothing).
    static bool faultless(const FaultPlan& p) {
        return p.dropRequests <= 0 && p.dropReplies <= 0 && p.duplicateReplies <= 0 && p.reorderReplies <= 0 &&
               p.corruptReplies <= 0 && p.noise <= 0 && p.dropProbes <= 0 && p.delayMs == 0 && p.jitterMs == 0;
    }

    FaultPlan plan_;
    SeededRandom random_;
    bool faultless_;
};

}  // namespace tvx::sim
