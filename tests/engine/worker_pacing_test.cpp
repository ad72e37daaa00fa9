#include <gtest/gtest.h>

#include <vector>

#include "fake_clock.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

// A virtual clock that wakes `latency` late from every pause, like a busy
// system, and records what it was asked for.
class LateClock final : public Clock {
  public:
    explicit LateClock(Milliseconds latency) : latency_(latency) {}
    bool SleepFor(Milliseconds d, StopSignal& stop) override {
        asked.push_back(d);
        now_ += d + latency_;
        return !stop.IsRaised();
    }
    Milliseconds Now() const override { return now_; }
    std::vector<Milliseconds> asked;

  private:
    Milliseconds latency_;
    Milliseconds now_{0};
};

struct PacingRig {
    ScriptedInstrument instrument;
    MeasurementState state;
    RecordingWindow window;
    StopSignal stop;
    DeviceLink link{instrument, state, window};
};

// The pause after a tuning is the instrument's settling time: a late wake-up
// of the previous pause must never be taken out of the next one.
TEST(WorkerPacing, LateWakeUpsNeverShortenALaterPause) {
    PacingRig rig;
    LateClock clock(Milliseconds(3));
    WorkerContext ctx{rig.link, rig.state, rig.window, clock, rig.stop};
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(ctx.Sleep(SweepPointPause(i)));
        EXPECT_EQ(clock.asked.back(), SweepPointPause(i)) << i;
    }
}

TEST(WorkerPacing, AVirtualClockGetsEveryPauseExactlyAndStopCutsThemShort) {
    PacingRig rig;
    FakeClock clock;
    WorkerContext ctx{rig.link, rig.state, rig.window, clock, rig.stop};
    for (int i = 0; i < 50; ++i)
        ctx.Sleep(SweepPointPause(i));
    const auto pauses = clock.Pauses();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(pauses[i], SweepPointPause(i));
    rig.stop.Raise();
    EXPECT_FALSE(ctx.Sleep(Milliseconds(10)));
    EXPECT_FALSE(ctx.Sleep(Milliseconds(0)));
}

}  // namespace
}  // namespace korvel::testing
