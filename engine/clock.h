// Every pause of the worker goes through a Clock, so tests can run a whole
// pass or reconnect cycle on virtual time, and a stop request cuts any pause
// short.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvel {

using Milliseconds = std::chrono::milliseconds;

// Raised once when the worker must end; wakes every pause at once. It also
// carries nudges: a device arrived, so a wait for an instrument may end early.
class StopSignal {
  public:
    void Raise();
    bool IsRaised() const { return raised_.load(std::memory_order_acquire); }
    // Blocks for d or until Raise(); returns true when stopped.
    bool WaitFor(Milliseconds d);

    // Any thread: ends the current (or next) WaitForNudge early.
    void Nudge();
    // Blocks for d, until Raise() or until a nudge (which it consumes);
    // returns true when stopped.
    bool WaitForNudge(Milliseconds d);

  private:
    std::atomic<bool> raised_{false};
    bool nudged_ = false;  // guarded by mutex_
    std::mutex mutex_;
    std::condition_variable wake_;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // Pauses for d; returns false when the pause was cut short by stop.
    virtual bool SleepFor(Milliseconds d, StopSignal& stop) = 0;
    // A wait for an instrument to arrive: like SleepFor, but a nudge of the
    // stop signal may also end it early.
    virtual bool WaitForArrival(Milliseconds d, StopSignal& stop) { return SleepFor(d, stop); }
    // Monotonic time, for measuring (virtual time on a fake clock).
    virtual Milliseconds Now() const = 0;
};

// Real time: sleeps block on the stop signal's condition variable.
class SteadyClock final : public Clock {
  public:
    bool SleepFor(Milliseconds d, StopSignal& stop) override;
    bool WaitForArrival(Milliseconds d, StopSignal& stop) override;
    Milliseconds Now() const override;
};

}  // namespace korvel
