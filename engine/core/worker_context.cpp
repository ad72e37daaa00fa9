#include "worker_context.h"

namespace korvel {

bool WorkerContext::Sleep(Milliseconds d) {
    if (d <= Milliseconds(0))
        return !Stopping();
    return clock.SleepFor(d, stop);
}

}  // namespace korvel
