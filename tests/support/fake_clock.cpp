#include "fake_clock.h"

namespace korvel::testing {

bool FakeClock::SleepFor(Milliseconds d, StopSignal& stop) {
    SleepHook hook;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now_ += d;
        pauses_.push_back(d);
        hook = hook_;
    }
    if (hook)
        hook(d);
    return !stop.IsRaised();
}

Milliseconds FakeClock::Now() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

void FakeClock::SetSleepHook(SleepHook hook) {
    std::lock_guard<std::mutex> lock(mutex_);
    hook_ = std::move(hook);
}

std::vector<Milliseconds> FakeClock::Pauses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_;
}

std::size_t FakeClock::PauseCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pauses_.size();
}

void FakeClock::ClearPauses() {
    std::lock_guard<std::mutex> lock(mutex_);
    pauses_.clear();
}

}  // namespace korvel::testing
