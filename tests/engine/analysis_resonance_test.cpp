#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "analysis/resonance.h"

namespace korvel {
namespace {

// Points at 10, 11, 12 ... MHz.
ResonanceSummary Find(const std::vector<double>& vswr) {
    std::vector<double> f;
    for (std::size_t i = 0; i < vswr.size(); ++i)
        f.push_back(10.0 + static_cast<double>(i));
    return FindResonance(f, vswr);
}

void ExpectEdge(std::optional<double> got, std::optional<double> want, const char* what) {
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-12) << what;
    }
}

TEST(Resonance, CurvesWithKnownCrossings) {
    const std::optional<double> none;
    struct Case {
        const char* what;
        std::vector<double> vswr;
        double minFreq;
        bool reaches;
        std::optional<double> low, high;
    } cases[] = {
        {"both sides", {3, 2.5, 1.5, 1.2, 1.6, 2.4, 4}, 13, true, 11.5, 14.5},
        {"low side only", {3, 1.5, 1.2, 1.4, 1.8}, 12, true, 10 + 1 / 1.5, none},
        {"high side only", {1.8, 1.4, 1.2, 1.5, 3}, 12, true, none, 14 - 1 / 1.5},
        {"minimum above 2", {4, 3, 2.5, 2.01, 3.5}, 13, false, none, none},
        {"global minimum, nearest crossings",
         {1.3, 3, 1.6, 2.2, 1.1, 1.9, 2.6, 1.4, 1.2, 3},
         14,
         true,
         13 + 0.2 / 1.1,
         15 + 0.1 / 0.7},
        {"equal minima: the first", {3, 1.2, 3, 1.2, 3}, 11, true, 10 + 1 / 1.8, 12 - 1 / 1.8},
        {"flat below", {1.5, 1.5, 1.5}, 10, true, none, none},
        {"flat on the threshold", {2, 2, 2}, 10, true, none, none},
        {"flat above", {3, 3, 3}, 10, false, none, none},
        {"unmeasured points skipped", {3, 0, 0, 1.5, 0, 1.4, NAN, 2.6, 0}, 15, true, 12, 16},
        {"exact hits of 2", {3, 2, 1.5, 2, 3}, 12, true, 11, 13},
        {"minimum exactly 2", {3, 2, 4}, 11, true, 11, 11},
        {"single point", {1.7}, 10, true, none, none},
    };
    for (const Case& c : cases) {
        const ResonanceSummary s = Find(c.vswr);
        EXPECT_TRUE(s.measured) << c.what;
        EXPECT_EQ(s.minFreqMHz, c.minFreq) << c.what;
        EXPECT_EQ(s.reachesThreshold, c.reaches) << c.what;
        ExpectEdge(s.lowMHz, c.low, c.what);
        ExpectEdge(s.highMHz, c.high, c.what);
    }
}

TEST(Resonance, OddInputs) {
    EXPECT_FALSE(Find({0, 0, 0}).measured);
    EXPECT_FALSE(Find({}).measured);
    // A point without a frequency is no point; sizes that differ: the common length.
    EXPECT_EQ(
        FindResonance(std::vector<double>{10, NAN, 12}, std::vector<double>{3, 1.1, 1.5}).minVswr,
        1.5);
    EXPECT_EQ(FindResonance(std::vector<double>{10, 11}, std::vector<double>{3, 1.5, 1.0}).minVswr,
              1.5);
    // A falling range: "low" is still the lower frequency.
    const auto s = FindResonance(std::vector<double>{16, 15, 14, 13, 12, 11, 10},
                                 std::vector<double>{4, 2.4, 1.6, 1.2, 1.5, 2.5, 3});
    ExpectEdge(s.lowMHz, 11.5, "falling low");
    ExpectEdge(s.highMHz, 14.5, "falling high");
}

TEST(BandwidthText, Formats) {
    ResonanceSummary s;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "");
    s.measured = true;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1 none");
    s.reachesThreshold = true;
    s.lowMHz = 13.902;
    s.highMHz = 14.610;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u201314.610 MHz  (708 kHz)");
    s.lowMHz.reset();
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  <13.100\u201314.610 MHz  (>1510 kHz)");
    EXPECT_EQ(BandwidthText(s, 14.9, 13.1), "2:1  <13.100\u201314.610 MHz  (>1510 kHz)");
    s.lowMHz = 13.902;
    s.highMHz.reset();
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u2013>14.900 MHz  (>998 kHz)");
    s.lowMHz = 13.9024;  // the width agrees with the rounded edges shown
    s.highMHz = 14.6106;
    EXPECT_EQ(BandwidthText(s, 13.1, 14.9), "2:1  13.902\u201314.611 MHz  (709 kHz)");
}

}  // namespace
}  // namespace korvel
