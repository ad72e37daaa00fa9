#include "chart_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Range {
    double lo = kNoRangeLo;
    double hi = kNoRangeHi;
};

Range Fit(const std::vector<double>& samples, int32_t swrScale) {
    Range r;
    AutoRange(r.lo, r.hi, samples, swrScale);
    return r;
}

TEST(AutoRangeTest, VswrWorkedExampleStartsAtOneAndWidensByFifteenPercent) {
    const Range r = Fit({1.2, 2.0, 3.5, 1.5}, 1);
    EXPECT_DOUBLE_EQ(r.lo, 1.0);
    EXPECT_DOUBLE_EQ(r.hi, 1.2 + 2.3 * 1.15);
}

TEST(AutoRangeTest, DbWorkedExample) {
    const Range r = Fit({-30.0, -1.0}, 0);
    EXPECT_DOUBLE_EQ(r.lo, -30.0);
    EXPECT_NEAR(r.hi, 3.35, 1e-12);
}

TEST(AutoRangeTest, FlatCurvesGetTheAxisMinimumSpan) {
    Range swr = Fit(std::vector<double>(200, 2.0), 1);
    EXPECT_DOUBLE_EQ(swr.lo, 1.0);
    EXPECT_DOUBLE_EQ(swr.hi, 3.0);

    Range db = Fit(std::vector<double>(200, -20.0), 0);
    EXPECT_NEAR(db.lo, -23.0, 1e-12);
    EXPECT_NEAR(db.hi, -17.0, 1e-12);

    Range zero = Fit({0.0, 0.0}, 0);
    EXPECT_DOUBLE_EQ(zero.lo, -3.0);
    EXPECT_DOUBLE_EQ(zero.hi, 3.0);
}

TEST(AutoRangeTest, RangeCarriesOverBetweenCurves) {
    Range r;
    AutoRange(r.lo, r.hi, std::vector<double>{2.0, 3.0}, 1);
    const double hiAfterFirst = r.hi;
    AutoRange(r.lo, r.hi, std::vector<double>{9.0}, 1);
    EXPECT_GT(r.hi, hiAfterFirst);
    EXPECT_GE(r.hi, 9.0);
}

TEST(AutoRangeTest, SamplesWithoutValueChangeNothing) {
    const Range plain = Fit({1.2, 2.0, 3.5, 1.5}, 1);
    const Range mixed = Fit({kNaN, 1.2, kNaN, 2.0, kInf, 3.5, -kInf, 1.5}, 1);
    EXPECT_DOUBLE_EQ(mixed.lo, plain.lo);
    EXPECT_DOUBLE_EQ(mixed.hi, plain.hi);

    const Range none = Fit({kNaN, kNaN}, 1);
    EXPECT_DOUBLE_EQ(none.lo, kNoRangeLo);
    EXPECT_DOUBLE_EQ(none.hi, kNoRangeHi);
}

TEST(NiceScaleTest, WorkedExamples) {
    const NiceScaleResult swr = NiceScale(1.0, 1.2 + 2.3 * 1.15);
    EXPECT_NEAR(swr.lo, 0.9, 1e-9);
    EXPECT_NEAR(swr.hi, 3.9, 1e-9);
    EXPECT_EQ(swr.divisions, 3);
    EXPECT_DOUBLE_EQ(swr.divisionSize, 1.0);
    EXPECT_EQ(swr.exponent, 0);

    const NiceScaleResult db = NiceScale(-30.0, 3.35);
    EXPECT_NEAR(db.lo, -40.0, 1e-9);
    EXPECT_NEAR(db.hi, 10.0, 1e-9);
    EXPECT_EQ(db.divisions, 5);
    EXPECT_DOUBLE_EQ(db.divisionSize, 10.0);
}

TEST(NiceScaleTest, EdgeRangesFromTheAxisRules) {
    const NiceScaleResult flatSwr = NiceScale(1.0, 3.0);
    EXPECT_NEAR(flatSwr.lo, 0.9, 1e-9);
    EXPECT_NEAR(flatSwr.hi, 3.1, 1e-9);
    EXPECT_EQ(flatSwr.divisions, 22);
    EXPECT_NEAR(flatSwr.divisionSize, 0.1, 1e-15);
    EXPECT_EQ(flatSwr.exponent, -1);

    const NiceScaleResult flatDb = NiceScale(-23.0, -17.0);
    EXPECT_NEAR(flatDb.lo, -24.0, 1e-9);
    EXPECT_NEAR(flatDb.hi, -16.0, 1e-9);
    EXPECT_EQ(flatDb.divisions, 8);
    EXPECT_DOUBLE_EQ(flatDb.divisionSize, 1.0);
}

TEST(NiceScaleTest, NoSampleRangeGivesTheFineGrid) {
    const NiceScaleResult r = NiceScale(kNoRangeLo, kNoRangeHi);
    EXPECT_NEAR(r.lo, -10.1211, 1e-9);
    EXPECT_NEAR(r.hi, -10.1198, 1e-9);
    EXPECT_EQ(r.divisions, 13);
    EXPECT_EQ(r.exponent, -4);
    EXPECT_EQ(ValueDivisionLabel(r.divisionSize, r.exponent, "(SWR)"), "Y:0.0001(SWR)/Div");
}

TEST(NiceScaleTest, UnusableRangesFallBackToTheNoSampleAxis) {
    const NiceScaleResult fallback = NiceScale(kNoRangeLo, kNoRangeHi);
    for (auto [lo, hi] : {std::pair{kNaN, 1.0}, std::pair{-kInf, kInf}, std::pair{2.0, 2.0},
                          std::pair{3.0, 1.0}, std::pair{-1e308, 1e308}, std::pair{0.0, 5e-324}}) {
        const NiceScaleResult r = NiceScale(lo, hi);
        EXPECT_DOUBLE_EQ(r.lo, fallback.lo) << lo << " " << hi;
        EXPECT_DOUBLE_EQ(r.hi, fallback.hi) << lo << " " << hi;
        EXPECT_EQ(r.divisions, fallback.divisions);
    }
}

TEST(NiceScaleTest, HugeSpansStayFiniteWithManyDivisions) {
    const NiceScaleResult r = NiceScale(0.0, 1e15);
    EXPECT_TRUE(std::isfinite(r.lo) && std::isfinite(r.hi));
    EXPECT_LT(r.lo, r.hi);
    EXPECT_GT(r.divisions, 1000);
    EXPECT_EQ(r.exponent, 5);
}

TEST(ChartLabelTest, ValueAxisTexts) {
    EXPECT_EQ(ValueDivisionLabel(1.0, 0, "(SWR)"), "Y: 1(SWR)/Div");
    EXPECT_EQ(ValueDivisionLabel(10.0, 1, "(dB)"), "Y:10(dB)/Div");
    EXPECT_EQ(ValueDivisionLabel(0.1, -1, "(SWR)"), "Y:0.1(SWR)/Div");
    EXPECT_EQ(ValueLabel(0.9, 0), " 1");
    EXPECT_EQ(ValueLabel(3.9, 0), " 4");
    EXPECT_EQ(ValueLabel(-40.0, 1), "-40");
    EXPECT_EQ(ValueLabel(0.9, -1), "0.9");
    EXPECT_EQ(ValueLabel(-10.1211, -4), "-10.1211");
    // Beyond single precision the label reads infinity rather than garbage.
    EXPECT_EQ(ValueLabel(1e300, 0), "inf");
}

TEST(ChartLabelTest, FrequencyAxisTexts) {
    EXPECT_EQ(FrequencyDivisionLabel(100000, "(Hz)"), "X:100K(Hz)/Div");
    EXPECT_EQ(FrequencyDivisionLabel(1000000000, "(Hz)"), "X:1G(Hz)/Div");
    EXPECT_EQ(FrequencyDivisionLabel(1, "(Hz)"), "X:1(Hz)/Div");
    EXPECT_EQ(StartFrequencyLabel(6100000), "6.100MHz");
    EXPECT_EQ(StartFrequencyLabel(0), "0.000MHz");
}

TEST(ChartLabelTest, LastSampleLabel) {
    EXPECT_EQ(LastSampleLabel(2.3, 1, "(SWR)"), "   2.3(SWR)");
    EXPECT_EQ(LastSampleLabel(-23.14, 2, "(dB)"), "-23.14(dB)");
    // Out-of-range decimal counts are limited instead of making a bad format.
    EXPECT_EQ(LastSampleLabel(2.3, -4, "(SWR)"), "     2(SWR)");
    EXPECT_EQ(LastSampleLabel(1.0, 1000, "").size(), 32);
}

TEST(FrequencyGridTest, IntervalIsTheDecadeLeavingAtMostFortySteps) {
    EXPECT_EQ(FrequencyInterval(1800000), 100000u);
    EXPECT_EQ(FrequencyInterval(59000000), 10000000u);
    EXPECT_EQ(FrequencyInterval(40), 1u);
    EXPECT_EQ(FrequencyInterval(41), 10u);
    EXPECT_EQ(FrequencyInterval(0), 1u);
    EXPECT_EQ(FrequencyInterval(std::numeric_limits<uint32_t>::max()), 1000000000u);
}

TEST(SiPrefixTest, LargestExactPowerOfThousand) {
    struct Case {
        uint32_t f;
        uint64_t divisor;
        const char* prefix;
    };
    for (const Case& c :
         {Case{100000, 1000, "K"}, Case{1000000, 1000000, "M"}, Case{1500, 1, ""},
          Case{1000000000, 1000000000, "G"}, Case{0, 1, ""}, Case{1, 1, ""}, Case{999, 1, ""},
          Case{2000000, 1000000, "M"}, Case{4000000000u, 1000000000, "G"}}) {
        const SiPrefixResult r = SiPrefix(c.f);
        EXPECT_EQ(r.divisor, c.divisor) << c.f;
        EXPECT_EQ(r.prefix, QString(c.prefix)) << c.f;
    }
}

TEST(MinimumIndexTest, EarliestSmallestSampleBelowTenMillion) {
    EXPECT_EQ(MinimumIndex(std::vector<double>{3, 1, 2, 1}), 1u);
    EXPECT_EQ(MinimumIndex(std::vector<double>{1, 2, 3}), 0u);
    EXPECT_EQ(MinimumIndex(std::vector<double>{2e7, 3e7}), 0u);
    EXPECT_EQ(MinimumIndex(std::vector<double>{5, kNaN, -kInf, 4, kNaN}), 3u);
    EXPECT_EQ(MinimumIndex(std::vector<double>{}), 0u);
    // The running minimum is kept in single precision and compared in double:
    // float(1.1) lies above 1.1, so a repeated 1.1 counts as lower.
    EXPECT_EQ(MinimumIndex(std::vector<double>{1.1, 1.1}), 1u);
    EXPECT_EQ(MinimumIndex(std::vector<double>{1.5, 1.5}), 0u);
}

}  // namespace
}  // namespace korvel
