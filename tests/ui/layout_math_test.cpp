// Frequency plans, dialog units, pointer read-out and progress-line numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dialog_units.h"
#include "frequency_plan.h"
#include "pointer_readout.h"
#include "progress_lines.h"

namespace korvel {
namespace {

TEST(FrequencyPlan, ConstructionRanges) {
    const auto p1 = ComputeFrequencyPlan(6.1f, 7.9f);
    EXPECT_EQ(p1.startHz, 6100000u);
    EXPECT_EQ(p1.stepHz, 9000u);
    const auto p2 = ComputeFrequencyPlan(13.1f, 14.9f);
    EXPECT_EQ(p2.startHz, 13100000u);
    EXPECT_EQ(p2.stepHz, 9000u);
    const auto p3 = ComputeFrequencyPlan(20.1f, 21.9f);
    EXPECT_EQ(p3.startHz, 20100000u);
    EXPECT_EQ(p3.stepHz, 9000u);
}

TEST(FrequencyPlan, FullRangeAndOneToTwo) {
    const auto full = ComputeFrequencyPlan(1.0f, 60.0f);
    EXPECT_EQ(full.startHz, 1000000u);
    EXPECT_EQ(full.stepHz, 295000u);
    EXPECT_EQ(full.startHz + 199 * full.stepHz, 59705000u);
    EXPECT_EQ(full.startHz + 200 * full.stepHz, 60000000u);
    const auto small = ComputeFrequencyPlan(1.0f, 2.0f);
    EXPECT_EQ(small.stepHz, 5000u);
}

TEST(FrequencyPlan, StopBelowStartGivesTwosComplementStep) {
    const auto p = ComputeFrequencyPlan(7.9f, 6.1f);
    // -9000 + 0.5 truncates toward zero to -8999.
    EXPECT_EQ(p.stepHz, static_cast<uint32_t>(-8999));
}

TEST(FrequencyPlan, DefinedForAnyStoredValue) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(ComputeFrequencyPlan(nan, nan).startHz, 0u);
    EXPECT_EQ(ComputeFrequencyPlan(nan, 5.0f).stepHz, 0u);
    EXPECT_EQ(ComputeFrequencyPlan(inf, inf).stepHz, 0u);  // inf - inf is NaN
    // Saturates at 64 bits, then keeps the low 32 bits.
    EXPECT_EQ(ComputeFrequencyPlan(3e38f, 1.0f).startHz, 0xFFFFFFFFu);
    EXPECT_EQ(ComputeFrequencyPlan(-3e38f, 1.0f).startHz, 0u);
    EXPECT_EQ(TruncToLow32(4294967296.0L + 7.9L), 7u);
}

TEST(DialogUnits, RoundLikeMulDiv) {
    EXPECT_EQ(DluToPixelsX(823), 1235);
    EXPECT_EQ(DluToPixelsY(436), 709);
    EXPECT_EQ(DluToPixelsX(274), 411);
    EXPECT_EQ(DluToPixelsY(15), 24);
    EXPECT_EQ(DluToPixelsY(201), 327);
    EXPECT_EQ(DluToPixelsY(279), 453);
    EXPECT_EQ(DluToPixelsY(131), 213);
    EXPECT_EQ(DluToPixelsY(259), 421);
    EXPECT_EQ(MulDivRound(-5, 3, 2), -8);  // -7.5 rounds away from zero
}

TEST(PointerReadout, TAndIndexAtTheBandEdges) {
    EXPECT_DOUBLE_EQ(PointerT(431), 0.0);
    EXPECT_EQ(PointerIndex(PointerT(431)), 0);
    EXPECT_NEAR(PointerT(1152), 199.7229, 1e-4);
    EXPECT_EQ(PointerIndex(PointerT(1152)), 199);
    EXPECT_EQ(PointerIndex(PointerT(430)), 0);  // t is slightly negative
    EXPECT_EQ(PointerIndex(1e300), 199);
    EXPECT_EQ(PointerIndex(-1e300), 0);
    EXPECT_EQ(PointerIndex(std::nan("")), 0);
    EXPECT_EQ(PointerIndex(10.49), 10);
    EXPECT_EQ(PointerIndex(10.5), 11);
}

TEST(PointerReadout, BandsOverlapOnlyBetweenVswr3AndS21) {
    int hits432 = 0;
    for (const auto& band : kPointerBands) {
        hits432 += band.Contains(600, 433) ? 1 : 0;
    }
    EXPECT_EQ(hits432, 2);
    EXPECT_TRUE(kPointerBands[2].Contains(600, 434));
    EXPECT_FALSE(kPointerBands[2].Contains(600, 435));
    EXPECT_TRUE(kPointerBands[3].Contains(600, 432));
    EXPECT_FALSE(kPointerBands[3].Contains(600, 431));
    EXPECT_FALSE(PointerXInside(429));
    EXPECT_TRUE(PointerXInside(430));
    EXPECT_FALSE(PointerXInside(1153));
}

TEST(PointerReadout, FrequencyAndTexts) {
    const double t = PointerT(1152);
    const float f = PointerFrequencyHz(6100000, 9000, t);
    EXPECT_FLOAT_EQ(f, static_cast<float>(6100000.0 + 9000.0 * t));
    EXPECT_EQ(ReadoutText(ReadoutKind::kVswr, 6.1, 1.5), "f=6.100MHz  VSWR=1.5");
    EXPECT_EQ(ReadoutText(ReadoutKind::kS21, 20.1, -3.25), "f=20.100MHz  S21=-3.2dB");
}

TEST(ProgressLines, ChannelsEndsAndClamping) {
    EXPECT_EQ(ProgressLineEnd(0), 430);
    EXPECT_EQ(ProgressLineEnd(199), 1150);
    EXPECT_EQ(ProgressLineEnd(100), 792);

    ProgressLines lines;
    EXPECT_EQ(lines.End(0), ProgressLines::kNone);
    EXPECT_TRUE(lines.Set(1, 800));
    EXPECT_EQ(lines.End(1), 800);
    EXPECT_FALSE(lines.Set(3, 800));
    EXPECT_TRUE(lines.Set(0, 5000));
    EXPECT_EQ(lines.End(0), 430 + 724);
    EXPECT_TRUE(lines.Set(2, -7));
    EXPECT_EQ(lines.End(2), 430);
    lines.ClearAll();
    EXPECT_EQ(lines.End(1), ProgressLines::kNone);
}

}  // namespace
}  // namespace korvel
