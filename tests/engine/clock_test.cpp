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

}  // namespace
}  // namespace korvel
