#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/measurement_math.h"

namespace korvel {
namespace {

TEST(DetectorWords, RatioAndPhaseAtTheReferencePoints) {
    EXPECT_DOUBLE_EQ(DetectorRatio(1000, 2000), 1.0);
    EXPECT_NEAR(DetectorRatio(0, 2000), std::pow(10.0, 1.5), 1e-12);
    EXPECT_NEAR(DetectorRatio(2000, 2000), std::pow(10.0, -1.5), 1e-15);
    EXPECT_DOUBLE_EQ(DetectorPhase(2000, 2000), 0.0);
    // The rounded constant, not pi.
    EXPECT_DOUBLE_EQ(DetectorPhase(0, 2000), -3.14159);
    EXPECT_DOUBLE_EQ(DetectorPhase(1000, 2000), -1.570795);
}

TEST(DetectorWords, ExtremeWordsStayDefined) {
    // 2 * amp - ref is formed in 32 bits: no wrap at the 16-bit limits.
    EXPECT_NEAR(DetectorRatio(65535, 65535), std::pow(10.0, -1.5), 1e-15);
    EXPECT_GT(DetectorRatio(0, 65535), 31.0);
    EXPECT_GE(DetectorRatio(65535, 1), 0.0);  // underflows to 0, not UB
    EXPECT_NEAR(DetectorPhase(65535, 1), 1.570795 * 131069 - 1.570795, 1e-6);
}

TEST(DetectorWords, ZeroReferenceHasNoValue) {
    EXPECT_TRUE(std::isnan(DetectorRatio(100, 0)));
    EXPECT_TRUE(std::isnan(DetectorRatio(0, 0)));
    EXPECT_TRUE(std::isnan(DetectorPhase(100, 0)));
}

TEST(Vswr, SweepVariantCeilingAndFloor) {
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(0.0), 1.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(0.5), 3.0);
    EXPECT_NEAR(VswrFromGammaSweep(0.8), 9.0, 1e-12);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(0.9), 10.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(1.0), 10.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(1.2), 10.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(-0.5), 1.0);  // below 1 is stored as 1
}

TEST(Vswr, SmithVariantIsSinglePrecisionWithCeiling20) {
    EXPECT_FLOAT_EQ(VswrFromGammaSmith(0.9), 19.0f);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(0.95), 20.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(1.0), 20.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(1.5), 5.0);  // a magnitude above 1 is the formula's
    // Rounded to float: 1.1 / 0.9 is not representable.
    EXPECT_EQ(VswrFromGammaSmith(0.1), static_cast<double>(static_cast<float>(1.1 / 0.9)));
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(0.0), 1.0);
}

TEST(Vswr, NonFiniteMagnitudesGiveTheCeiling) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(nan), 10.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSweep(inf), 10.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(nan), 20.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(inf), 20.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(1e300), 1.0);  // |(1+m)/(1-m)| -> 1
    // Just below and above 1 the formula explodes: the ceiling.
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(std::nextafter(1.0, 0.0)), 20.0);
    EXPECT_DOUBLE_EQ(VswrFromGammaSmith(std::nextafter(1.0, 2.0)), 20.0);
}

}  // namespace
}  // namespace korvel
