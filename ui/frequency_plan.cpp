#include "frequency_plan.h"

#include <cmath>
#include <limits>

namespace korvel {

uint32_t TruncToLow32(long double x) {
    if (std::isnan(x)) {
        return 0;
    }
    // 2^63 is exact in long double; anything at or beyond it saturates.
    constexpr long double kLimit = 9223372036854775808.0L;
    int64_t whole = 0;
    if (x >= kLimit) {
        whole = std::numeric_limits<int64_t>::max();
    } else if (x <= -kLimit) {
        whole = std::numeric_limits<int64_t>::min();
    } else {
        whole = static_cast<int64_t>(x);  // truncates toward zero
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

FrequencyPlan ComputeFrequencyPlan(float startMHz, float stopMHz) {
    const long double start = startMHz;
    const long double stop = stopMHz;
    FrequencyPlan plan;
    plan.startHz = TruncToLow32(start * 1000000.0L + 0.5L);
    plan.stepHz = TruncToLow32((stop - start) * 1000000.0L / kSweepPoints + 0.5L);
    return plan;
}

}  // namespace korvel
