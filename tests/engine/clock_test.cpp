#include <gtest/gtest.h>

#include <thread>

#include "clock.h"

namespace korvel {
namespace {

TEST(StopSignal, RaiseWakesAPauseAtOnce) {
    StopSignal stop;
    SteadyClock clock;
    std::thread raiser([&] { stop.Raise(); });
    // A pause of an hour must end as soon as the stop is raised.
    EXPECT_FALSE(clock.SleepFor(std::chrono::hours(1), stop));
    raiser.join();
    EXPECT_TRUE(stop.IsRaised());
    EXPECT_FALSE(clock.SleepFor(Milliseconds(0), stop));
}

TEST(StopSignal, PauseWithoutStopRunsItsLength) {
    StopSignal stop;
    SteadyClock clock;
    const auto before = clock.Now();
    EXPECT_TRUE(clock.SleepFor(Milliseconds(20), stop));
    EXPECT_GE((clock.Now() - before).count(), 19);
}

TEST(StopSignal, ANudgeEndsOnlyTheWaitForAnArrivalAndIsNeverLost) {
    StopSignal stop;
    SteadyClock clock;
    // Given before the wait, it is kept for it; the wait consumes it.
    stop.Nudge();
    EXPECT_TRUE(clock.WaitForArrival(std::chrono::hours(1), stop));
    // An ordinary pause is not shortened by one (it is a settling time).
    stop.Nudge();
    const auto before = clock.Now();
    EXPECT_TRUE(clock.SleepFor(Milliseconds(20), stop));
    EXPECT_GE((clock.Now() - before).count(), 19);
    // ...and still there for the next wait.
    EXPECT_TRUE(clock.WaitForArrival(std::chrono::hours(1), stop));
    // From another thread.
    std::thread nudger([&] { stop.Nudge(); });
    EXPECT_TRUE(clock.WaitForArrival(std::chrono::hours(1), stop));
    nudger.join();
    stop.Raise();
    EXPECT_FALSE(clock.WaitForArrival(std::chrono::hours(1), stop));
}

}  // namespace
}  // namespace korvel
