// A virtual-time Clock for tests: every pause returns at once, advances the
// virtual time and is recorded, so a whole scan pass or a calibration runs in
// milliseconds and its pauses can be checked one by one.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "clock.h"

namespace korvel::testing {

class FakeClock final : public Clock {
  public:
    // Called on the sleeping thread after each pause has been recorded, with
    // the pause's length; a test may raise the stop signal from here.
    using SleepHook = std::function<void(Milliseconds)>;

    // A pause under a raised stop signal is still recorded but returns false.
    bool SleepFor(Milliseconds d, StopSignal& stop) override;
    Milliseconds Now() const override;

    // Set before the clock is shared with another thread.
    void SetSleepHook(SleepHook hook);

    std::vector<Milliseconds> Pauses() const;
    std::size_t PauseCount() const;
    void ClearPauses();

  private:
    mutable std::mutex mutex_;
    Milliseconds now_{0};
    std::vector<Milliseconds> pauses_;
    SleepHook hook_;
};

}  // namespace korvel::testing
