#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/resonance.h"

namespace korvel {
namespace {

// 10, 11, 12, ... MHz: one point per value.
ResonanceSummary Find(const std::vector<double>& vswr) {
    std::vector<double> f;
    for (std::size_t i = 0; i < vswr.size(); ++i) {
        f.push_back(10.0 + static_cast<double>(i));
    }
    return FindResonance(f, vswr);
}

TEST(Resonance, CrossingsOnBothSidesAreInterpolated) {
    const auto s = Find({3, 2.5, 1.5, 1.2, 1.6, 2.4, 4});
    ASSERT_TRUE(s.measured);
    EXPECT_EQ(s.minVswr, 1.2);
    EXPECT_EQ(s.minFreqMHz, 13.0);
    EXPECT_TRUE(s.reachesThreshold);
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_NEAR(*s.lowMHz, 11.5, 1e-12);   // 2.5 -> 1.5 halfway
    EXPECT_NEAR(*s.highMHz, 14.5, 1e-12);  // 1.6 -> 2.4 halfway
}

TEST(Resonance, OneSideOnly) {
    auto s = Find({3, 1.5, 1.2, 1.4, 1.8});
    ASSERT_TRUE(s.lowMHz);
    EXPECT_NEAR(*s.lowMHz, 10.0 + 1.0 / 1.5, 1e-12);
    EXPECT_FALSE(s.highMHz);

    s = Find({1.8, 1.4, 1.2, 1.5, 3});
    EXPECT_FALSE(s.lowMHz);
    ASSERT_TRUE(s.highMHz);
    EXPECT_NEAR(*s.highMHz, 14.0 - 1.0 / 1.5, 1e-12);
}

TEST(Resonance, MinimumAboveThresholdHasNoBand) {
    const auto s = Find({4, 3, 2.5, 2.01, 3.5});
    ASSERT_TRUE(s.measured);
    EXPECT_EQ(s.minVswr, 2.01);
    EXPECT_EQ(s.minFreqMHz, 13.0);
    EXPECT_FALSE(s.reachesThreshold);
    EXPECT_FALSE(s.lowMHz);
    EXPECT_FALSE(s.highMHz);
}

TEST(Resonance, GlobalMinimumWinsAndItsNearestCrossingsAreTaken) {
    // Dips at 10 (1.3), 14 (1.1, the lowest) and 18 (1.2).
    const auto s = Find({1.3, 3, 1.6, 2.2, 1.1, 1.9, 2.6, 1.4, 1.2, 3});
    EXPECT_EQ(s.minVswr, 1.1);
    EXPECT_EQ(s.minFreqMHz, 14.0);
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_NEAR(*s.lowMHz, 13.0 + 0.2 / 1.1, 1e-12);
    EXPECT_NEAR(*s.highMHz, 15.0 + 0.1 / 0.7, 1e-12);

    // Equal minima: the first one and its band.
    const auto tie = Find({3, 1.2, 3, 1.2, 3});
    EXPECT_EQ(tie.minFreqMHz, 11.0);
    ASSERT_TRUE(tie.lowMHz && tie.highMHz);
    EXPECT_LT(*tie.highMHz, 12.0);
}

TEST(Resonance, FlatCurves) {
    auto s = Find({1.5, 1.5, 1.5, 1.5});
    EXPECT_EQ(s.minFreqMHz, 10.0);
    EXPECT_TRUE(s.reachesThreshold);
    EXPECT_FALSE(s.lowMHz);
    EXPECT_FALSE(s.highMHz);

    s = Find({2, 2, 2});  // exactly on the threshold: inside the band, never crossed
    EXPECT_TRUE(s.reachesThreshold);
    EXPECT_FALSE(s.lowMHz);
    EXPECT_FALSE(s.highMHz);

    s = Find({3, 3, 3});
    EXPECT_FALSE(s.reachesThreshold);
}

TEST(Resonance, UnmeasuredPointsAreSkipped) {
    // Neighbours across the gaps are the nearest measured points.
    const auto s = Find({3, 0, 0, 1.5, 0, 1.4, std::nan(""), 2.6, 0});
    EXPECT_EQ(s.minVswr, 1.4);
    EXPECT_EQ(s.minFreqMHz, 15.0);
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_NEAR(*s.lowMHz, 12.0, 1e-12);   // (10, 3) to (13, 1.5)
    EXPECT_NEAR(*s.highMHz, 16.0, 1e-12);  // (15, 1.4) to (17, 2.6)

    EXPECT_FALSE(Find({0, 0, 0}).measured);
    EXPECT_FALSE(Find({}).measured);
    // A point without a frequency is not a point.
    const auto nf =
        FindResonance(std::vector<double>{10, NAN, 12}, std::vector<double>{3, 1.1, 1.5});
    EXPECT_EQ(nf.minVswr, 1.5);
    EXPECT_EQ(nf.minFreqMHz, 12.0);
}

TEST(Resonance, ExactHitsOfTheThreshold) {
    auto s = Find({3, 2, 1.5, 2, 3});
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_EQ(*s.lowMHz, 11.0);
    EXPECT_EQ(*s.highMHz, 13.0);

    s = Find({3, 2, 4});  // the minimum itself on the threshold: a band of no width
    EXPECT_TRUE(s.reachesThreshold);
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_EQ(*s.lowMHz, 11.0);
    EXPECT_EQ(*s.highMHz, 11.0);
}

TEST(Resonance, SinglePointAndMismatchedSizes) {
    auto s = Find({1.7});
    EXPECT_TRUE(s.measured);
    EXPECT_EQ(s.minFreqMHz, 10.0);
    EXPECT_FALSE(s.lowMHz);
    EXPECT_FALSE(s.highMHz);
    EXPECT_FALSE(Find({2.2}).reachesThreshold);

    // Only the common length is read.
    s = FindResonance(std::vector<double>{10, 11}, std::vector<double>{3, 1.5, 1.0, 1.0});
    EXPECT_EQ(s.minVswr, 1.5);
}

TEST(Resonance, FallingRangeKeepsLowBelowHigh) {
    // The same curve as CrossingsOnBothSidesAreInterpolated, swept from 16 down to 10 MHz.
    const std::vector<double> f = {16, 15, 14, 13, 12, 11, 10};
    const std::vector<double> v = {4, 2.4, 1.6, 1.2, 1.5, 2.5, 3};
    const auto s = FindResonance(f, v);
    EXPECT_EQ(s.minFreqMHz, 13.0);
    ASSERT_TRUE(s.lowMHz && s.highMHz);
    EXPECT_NEAR(*s.lowMHz, 11.5, 1e-12);
    EXPECT_NEAR(*s.highMHz, 14.5, 1e-12);

    ResonanceSummary open = s;
    open.lowMHz.reset();
    EXPECT_EQ(BandwidthText(open, 16.0, 10.0), "2:1  <10.000\u201314.500 MHz  (>4500 kHz)");
}

TEST(BandwidthText, Formats) {
    ResonanceSummary s;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "");
    s.measured = true;
    s.minVswr = 2.3;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1 none");

    s.reachesThreshold = true;
    s.lowMHz = 13.902;
    s.highMHz = 14.610;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u201314.610 MHz  (708 kHz)");
    s.lowMHz.reset();
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  <13.100\u201314.610 MHz  (>1510 kHz)");
    s.lowMHz = 13.902;
    s.highMHz.reset();
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u2013>14.900 MHz  (>998 kHz)");
    s.lowMHz.reset();
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  <13.100\u2013>14.900 MHz  (>1800 kHz)");

    // The width agrees with the rounded edges shown.
    s.lowMHz = 13.9024;
    s.highMHz = 14.6106;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u201314.611 MHz  (709 kHz)");
}

}  // namespace
}  // namespace korvel
