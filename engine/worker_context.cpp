#include "worker_context.h"

#include <algorithm>

namespace korvel {

bool WorkerContext::Sleep(Milliseconds d) {
    if (d <= Milliseconds(0))
        return !Stopping();
    const Milliseconds payBack = std::min(lag, d / 10);
    const Milliseconds asked = d - payBack;
    const Milliseconds before = clock.Now();
    const bool completed = clock.SleepFor(asked, stop);
    const Milliseconds slept = clock.Now() - before;
    // A lag beyond kMaxLag (a stall, not latency) is forgiven rather than
    // taken out of many later pauses.
    lag = std::clamp(lag - payBack + (slept - asked), Milliseconds(0), kMaxLag);
    return completed;
}

}  // namespace korvel
