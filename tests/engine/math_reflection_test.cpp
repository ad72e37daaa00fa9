#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/measurement_math.h"

namespace korvel {
namespace {

TEST(SignTest, KnownValueAndZeroDenominator) {
    EXPECT_NEAR(SignTest(0.5, 1.570795), 4.0, 1e-9);
    EXPECT_DOUBLE_EQ(SignTest(0.0, -1.0), 0.0);
    // m = 1 at +pi/2 would divide by zero: no value instead of infinity.
    EXPECT_TRUE(std::isnan(SignTest(1.0, std::asin(1.0))));
}

TEST(ReflectionAngle, QuadrantRuleWithRoundedConstants) {
    EXPECT_NEAR(ReflectionAngle(-0.5, 0.5), -0.785398 + 3.14159, 1e-6);
    EXPECT_NEAR(ReflectionAngle(-0.5, -0.5), 0.785398 - 3.14, 1e-6);  // 3.14, not pi
    EXPECT_NEAR(ReflectionAngle(0.5, 0.5), 0.785398, 1e-6);
    EXPECT_NEAR(ReflectionAngle(0.5, -0.5), -0.785398, 1e-6);
    EXPECT_DOUBLE_EQ(ReflectionAngle(0.0, 0.0), 1.570795);
    EXPECT_DOUBLE_EQ(ReflectionAngle(0.0, 2.0), 1.570795);
    EXPECT_DOUBLE_EQ(ReflectionAngle(0.0, -2.0), -1.570795);
    // On the negative real axis: atan gives -0.0, which is not negative.
    EXPECT_DOUBLE_EQ(ReflectionAngle(-1.0, 0.0), 0.0);
}

TEST(Impedance, KnownReflections) {
    Impedance z = ImpedanceFromGamma(0.0, 0.0);
    EXPECT_NEAR(z.r, 50.0, 1e-12);
    EXPECT_NEAR(z.x, 0.0, 1e-12);
    z = ImpedanceFromGamma(1.0 / 3.0, 0.0);
    EXPECT_NEAR(z.r, 100.0, 1e-9);
    EXPECT_NEAR(z.x, 0.0, 1e-9);
    z = ImpedanceFromGamma(1.0 / 3.0, 3.14159);
    EXPECT_NEAR(z.r, 25.0, 1e-3);
    EXPECT_NEAR(z.x, 0.0, 1e-3);
    z = ImpedanceFromGamma(0.5, 0.0);
    EXPECT_NEAR(z.r, 150.0, 1e-9);
    // Inductive reflections above the real axis give positive reactance.
    z = ImpedanceFromGamma(0.5, 1.570795);
    EXPECT_NEAR(z.r, 30.0, 1e-3);
    EXPECT_NEAR(z.x, 40.0, 1e-3);
}

TEST(Impedance, OpenAndShortAreDefined) {
    Impedance z = ImpedanceFromGamma(1.0, 0.0);  // real part exactly 1
    EXPECT_EQ(z.r, 0.0);
    EXPECT_EQ(z.x, 0.0);
    z = ImpedanceFromGamma(-1.0, 0.0);  // short: no 0/0 angle
    EXPECT_EQ(z.r, 0.0);
    EXPECT_EQ(z.x, 0.0);
    // A reflection straight below the origin of the real part (gr = -1, gi != 0).
    z = ImpedanceFromGamma(std::sqrt(2.0), -3.0 * std::atan(1.0));
    EXPECT_TRUE(std::isfinite(z.r));
    EXPECT_TRUE(std::isfinite(z.x));
}

TEST(Impedance, NonFiniteInputsPropagateAsNaN) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Impedance z = ImpedanceFromGamma(nan, 0.0);
    EXPECT_TRUE(std::isnan(z.r) || std::isnan(z.x));
}

}  // namespace
}  // namespace korvel
