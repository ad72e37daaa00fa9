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

TEST(WorkerPacing, LatencyIsPaidBackWithoutCuttingAPauseByMoreThanATenth) {
    PacingRig rig;
    LateClock clock(Milliseconds(1));
    WorkerContext ctx{rig.link, rig.state, rig.window, clock, rig.stop};
    Milliseconds specified{0};
    for (int i = 0; i < 200; ++i) {
        const Milliseconds d = SweepPointPause(i);
        specified += d;
        EXPECT_TRUE(ctx.Sleep(d));
        EXPECT_GE(clock.asked.back() * 10, d * 9) << i;
    }
    // 1 ms late every time would add 200 ms; paid back, the channel keeps
    // its 2.45 s within the last pause's latency.
    EXPECT_EQ(specified, Milliseconds(2450));
    EXPECT_LE(clock.Now() - specified, Milliseconds(2));
}

TEST(WorkerPacing, ALongStallIsForgivenNotRepaidForever) {
    PacingRig rig;
    LateClock clock(Milliseconds(0));
    WorkerContext ctx{rig.link, rig.state, rig.window, clock, rig.stop};
    ctx.lag = Milliseconds(5000);
    ctx.Sleep(Milliseconds(10));
    EXPECT_LE(ctx.lag, WorkerContext::kMaxLag);
}

TEST(WorkerPacing, AVirtualClockGetsEveryPauseExactly) {
    PacingRig rig;
    FakeClock clock;
    WorkerContext ctx{rig.link, rig.state, rig.window, clock, rig.stop};
    for (int i = 0; i < 50; ++i)
        ctx.Sleep(SweepPointPause(i));
    const auto pauses = clock.Pauses();
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(pauses[i], SweepPointPause(i));
    EXPECT_EQ(ctx.lag, Milliseconds(0));
    rig.stop.Raise();
    EXPECT_FALSE(ctx.Sleep(Milliseconds(10)));
}

}  // namespace
}  // namespace korvel::testing
