#include <gtest/gtest.h>

#include <cmath>

#include "core/measurement_math.h"
#include "worker_test_rig.h"

namespace korvel::testing {
namespace {

constexpr uint16_t kRef = 2950;
// Phase words for the angles q = -(phase + 3.14159) of -pi/2 and about -1.
constexpr uint16_t kPhaseQuarter = 1475;
constexpr uint16_t kPhaseNearOneRad = 939;

// Live words: an amplitude of 0.5 after scaling, with the given phase words at
// 1.1 times the Smith frequency and at the Smith frequency. The stored records
// there hold a vector of (nearly) zero.
void ScriptSmithPoint(WorkerRig& rig, uint16_t phaseHigh, uint16_t phaseSpot, uint16_t amp) {
    const uint32_t high = TuningWord(15.697);
    rig.instrument.live = [=](uint32_t word) {
        return LiveWords{amp, kRef, word == high ? phaseHigh : phaseSpot, 2446};
    };
    rig.instrument.memory[294] = {65535, kRef, 0, 2446};
    rig.instrument.memory[265] = {65535, kRef, 0, 2446};
}

uint16_t AmpForRatio(double ratio) {
    return static_cast<uint16_t>(std::lround(kRef * (1 - std::log10(ratio) / 1.5) / 2));
}

void RunUntilFirstSmithPoint(WorkerRig& rig) {
    rig.window.onSmithChanged = [&] { rig.worker.RequestStop(); };
    rig.worker.Run();
}

TEST(WorkerSmithPoint, MeasuredAtOnePointOneTimesAndAtTheSmithFrequency) {
    WorkerRig rig;
    RunUntilFirstSmithPoint(rig);
    const auto tunes = rig.instrument.Commands(0xA1);
    ASSERT_EQ(tunes.size(), 2u);
    EXPECT_EQ(tunes[0].tuningWord, TuningWord(15.697));
    EXPECT_EQ(tunes[1].tuningWord, 510742593u);
    EXPECT_EQ(rig.ReadIndices(), (std::vector<uint16_t>{767, 768, 294, 265}));
    EXPECT_EQ(rig.PausesAfterConnect(),
              (std::vector<Milliseconds>{Milliseconds(100), Milliseconds(100)}));
    // Live equals stored: a perfect 50-ohm point.
    EXPECT_NEAR(rig.state.smithGammaMag.load(), 0.0, 1e-12);
    EXPECT_NEAR(rig.state.smithR.load(), 50.0, 1e-9);
    EXPECT_NEAR(rig.state.smithX.load(), 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(rig.state.smithVswr.load(), 1.0);
    EXPECT_NEAR(rig.state.smithZMag.load(), 50.0, 1e-9);
    EXPECT_DOUBLE_EQ(rig.state.currentFreqMHz.load(), 14.27);
    EXPECT_EQ(rig.window.smithChanges, 1);
}

TEST(WorkerSmithPoint, LargerSignTestAtTheSmithFrequencyMakesTheAngleInductive) {
    WorkerRig rig;
    ScriptSmithPoint(rig, kPhaseNearOneRad, kPhaseQuarter, AmpForRatio(0.5 * 0.97));
    RunUntilFirstSmithPoint(rig);
    EXPECT_NEAR(rig.state.smithGammaMag.load(), 0.5, 2e-3);
    EXPECT_NEAR(rig.state.smithGammaAngle.load(), 1.570795, 1e-3);
    EXPECT_NEAR(rig.state.smithR.load(), 30.0, 0.3);
    EXPECT_NEAR(rig.state.smithX.load(), 40.0, 0.3);
    EXPECT_NEAR(rig.state.smithVswr.load(), 3.0, 0.02);
    EXPECT_DOUBLE_EQ(rig.state.smithGammaShown.load(), rig.state.smithGammaMag.load());
}

TEST(WorkerSmithPoint, SmallerSignTestKeepsTheAngleCapacitive) {
    WorkerRig rig;
    ScriptSmithPoint(rig, kPhaseQuarter, kPhaseNearOneRad, AmpForRatio(0.5 * 0.97));
    RunUntilFirstSmithPoint(rig);
    EXPECT_NEAR(rig.state.smithGammaAngle.load(), -1.0, 2e-3);
    EXPECT_LT(rig.state.smithX.load(), 0.0);
}

TEST(WorkerSmithPoint, MagnitudeIsLimitedTo1PerPairAndVswrTo20) {
    WorkerRig rig;
    ScriptSmithPoint(rig, kPhaseQuarter, kPhaseQuarter, 0);  // ratio 31.6
    RunUntilFirstSmithPoint(rig);
    EXPECT_NEAR(rig.state.smithGammaMag.load(), 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(rig.state.smithVswr.load(), 20.0);
}

TEST(WorkerSmithPoint, UnusableRepliesKeepThePreviousPoint) {
    WorkerRig rig;
    rig.instrument.memory[265].ref = 0;
    int cycles = 0;
    rig.clock.SetSleepHook([&](Milliseconds) {
        if (++cycles == 6)
            rig.worker.RequestStop();
    });
    rig.worker.Run();
    EXPECT_EQ(rig.window.smithChanges, 0);
    EXPECT_EQ(rig.state.smithR.load(), 50.0);
    EXPECT_EQ(rig.state.smithVswr.load(), 1.0);
    EXPECT_EQ(rig.state.smithZMag.load(), 50.0);
}

}  // namespace
}  // namespace korvel::testing
