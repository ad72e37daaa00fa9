#include "clock.h"

namespace korvel {

void StopSignal::Raise() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
}

bool StopSignal::WaitFor(Milliseconds d) {
    std::unique_lock<std::mutex> lock(mutex_);
    return wake_.wait_for(lock, d, [this] { return raised_.load(std::memory_order_acquire); });
}

void StopSignal::Nudge() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        nudged_ = true;
    }
    wake_.notify_all();
}

bool StopSignal::WaitForNudge(Milliseconds d) {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, d, [this] { return nudged_ || raised_.load(std::memory_order_acquire); });
    nudged_ = false;
    return raised_.load(std::memory_order_acquire);
}

bool SteadyClock::SleepFor(Milliseconds d, StopSignal& stop) {
    return !stop.WaitFor(d);
}

bool SteadyClock::WaitForArrival(Milliseconds d, StopSignal& stop) {
    return !stop.WaitForNudge(d);
}

Milliseconds SteadyClock::Now() const {
    return std::chrono::duration_cast<Milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace korvel
