#include <gtest/gtest.h>

#include <cmath>

#include "core/measurement_math.h"

namespace korvel {
namespace {

PowerCurve DefaultCurve() {
    const float s = (2446.0f - 2084.0f) / 315.0f;
    return BuildPowerCurve(2446.0f, 2084.0f, s);
}

TEST(PowerCurve, ReadingToDbmOnEachPiece) {
    const PowerCurve c = DefaultCurve();
    EXPECT_NEAR(c.slope, 1.149206f, 1e-6);
    EXPECT_NEAR(c.reading[7], 2494.27f, 0.01f);
    EXPECT_NEAR(ReadingToDbm(2084.0f, c), -20.0f, 1e-5);
    EXPECT_NEAR(ReadingToDbm(2200.0f, c), -15.96f, 0.005f);  // straight line
    // The line at point 1 misses -14 on purpose.
    EXPECT_NEAR(ReadingToDbm(c.reading[1], c), -14.12f, 0.005f);
    EXPECT_NEAR(ReadingToDbm(2400.0f, c), -6.20f, 0.005f);  // cubic
    EXPECT_NEAR(ReadingToDbm(2446.0f, c), 0.0f, 1e-3);      // degree 7
    EXPECT_NEAR(ReadingToDbm(2460.0f, c), 3.33f, 0.005f);
    EXPECT_NEAR(ReadingToDbm(2494.0f, c), 14.79f, 0.005f);
    EXPECT_NEAR(ReadingToDbm(2500.0f, c), 20.74f, 0.01f);  // extrapolated
    // The edges of the pieces: point 3 itself belongs to the degree-7 piece.
    EXPECT_NEAR(ReadingToDbm(c.reading[3], c), -2.0f, 1e-3);
}

TEST(PowerCurve, StateVariantUsesTheStoredCurve) {
    MeasurementState state;
    state.pinReading0dBm = 2446.0f;
    state.pinReadingMinus20dBm = 2084.0f;
    state.pinSlope = (2446.0f - 2084.0f) / 315.0f;
    BuildPowerCurve(state);
    const PowerCurve c = LoadPowerCurve(state);
    EXPECT_EQ(c.reading, DefaultCurve().reading);
    EXPECT_EQ(ReadingToDbm(2400.0f, state), ReadingToDbm(2400.0f, DefaultCurve()));
}

TEST(PowerCurve, DegenerateCurveGivesNoValue) {
    // Never loaded (all zero), flat, or NaN: nothing divides by zero.
    EXPECT_TRUE(std::isnan(ReadingToDbm(2400.0f, PowerCurve{})));
    EXPECT_TRUE(std::isnan(ReadingToDbm(2400.0f, BuildPowerCurve(2446.0f, 2446.0f, 0.0f))));
    EXPECT_TRUE(std::isnan(ReadingToDbm(2400.0f, BuildPowerCurve(NAN, 2084.0f, NAN))));
    MeasurementState fresh;
    EXPECT_TRUE(std::isnan(ReadingToDbm(0.0f, fresh)));
}

TEST(PowerCurve, FullWordRangeIsFinite) {
    const PowerCurve c = DefaultCurve();
    for (int w = 0; w <= 65535; w += 97) {
        EXPECT_TRUE(std::isfinite(ReadingToDbm(static_cast<float>(w), c))) << w;
    }
}

}  // namespace
}  // namespace korvel
