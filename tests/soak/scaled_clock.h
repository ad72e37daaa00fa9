// Real time, shortened: every pause of the worker lasts a tenth of its
// nominal length (blocking on the stop signal, never spinning), and Now() is
// the steady clock. A soak against a real instrument process then runs a
// pass in about a second while every transfer still crosses a real socket.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

#include "clock.h"

namespace korvel::testing {

class ScaledClock final : public Clock {
  public:
    bool SleepFor(Milliseconds d, StopSignal& stop) override {
        if (onPause) {
            onPause();
        }
        return !stop.WaitFor(std::max(d / 10, Milliseconds(1)));
    }
    Milliseconds Now() const override { return steady_.Now(); }

    // Runs on the sleeping thread before every pause; set before sharing.
    std::function<void()> onPause;

  private:
    SteadyClock steady_;
};

}  // namespace korvel::testing
