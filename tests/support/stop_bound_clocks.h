// Clocks whose pauses end only when the worker is stopped (ParkedClock) or
// after a millisecond of real time (QuickClock). Neither ever spins: each
// pause blocks on the stop signal.
#pragma once

#include <chrono>

#include "clock.h"

namespace korvel::testing {

// Every pause lasts until the worker is stopped: the worker parks at its
// first pause and leaves the shared record to the test.
class ParkedClock final : public Clock {
  public:
    bool SleepFor(Milliseconds, StopSignal& stop) override {
        return !stop.WaitFor(std::chrono::hours(24));
    }
    Milliseconds Now() const override { return Milliseconds(0); }
};

// Every pause lasts 1 ms of real time: a pass runs in well under a second
// without the worker spinning.
class QuickClock final : public Clock {
  public:
    bool SleepFor(Milliseconds, StopSignal& stop) override {
        return !stop.WaitFor(Milliseconds(1));
    }
    Milliseconds Now() const override { return Milliseconds(0); }
};

}  // namespace korvel::testing
