// A clock for the worker over emulated USB: its pauses take no time, but a
// wait for an instrument really blocks (for an hour, unless a device arrives
// or the worker stops), so a reconnection can only come from an arrival.
#pragma once

#include <chrono>

#include "clock.h"

namespace korvel::testing {

class ArrivalOnlyClock final : public Clock {
  public:
    bool SleepFor(Milliseconds, StopSignal& stop) override { return !stop.IsRaised(); }
    bool WaitForArrival(Milliseconds, StopSignal& stop) override {
        return !stop.WaitForNudge(std::chrono::hours(1));
    }
    Milliseconds Now() const override { return steady_.Now(); }

  private:
    SteadyClock steady_;
};

}  // namespace korvel::testing
