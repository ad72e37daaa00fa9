#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "core/cable_transform.h"

namespace korvel {
namespace {

// The panel's cable-port text for (Rc, Xc): the number's own sign separates
// the parts when the reactance is negative.
std::string CableText(const CablePortResult& c) {
    char buf[64];
    if (std::sqrt(c.r * c.r + c.x * c.x) > 1000)
        return "+inf";
    std::snprintf(buf, sizeof buf, c.x >= 0 ? "%2.0f+%2.0fj" : "%2.0f%2.0fj", c.r, c.x);
    return buf;
}

TEST(CablePort, WorkedExampleAt14270kHzThrough5m) {
    const CablePortResult c = CablePortImpedance(0.5, 0.0, 14270, 5.0);
    EXPECT_NEAR(c.angle, 4.460745, 1e-6);
    EXPECT_EQ(CableText(c), "25-32j");
}

TEST(CablePort, NoCableNoTurn) {
    const CablePortResult c = CablePortImpedance(0.5, 0.3, 14270, 0.0);
    EXPECT_DOUBLE_EQ(c.angle, 0.3);
    const CablePortResult start = CablePortImpedance(0.0, 0.0, 14270, 0.0);
    EXPECT_EQ(CableText(start), "50+ 0j");
}

TEST(CablePort, WholeHalfWavesAreRemoved) {
    // At 10 MHz the wavelength is 30 m; 10.05 m of cable is exactly one
    // half-wave electrically, so the turn is (nearly) nothing.
    const CablePortResult c = CablePortImpedance(0.5, 0.2, 10000, 15.0 * 0.67);
    const double turn = std::fmod(c.angle - 0.2, 2 * 3.14159);
    EXPECT_TRUE(std::fabs(turn) < 1e-6 || std::fabs(turn - 2 * 3.14159) < 1e-6) << c.angle;
}

TEST(CablePort, DegenerateInputsHaveDefinedResults) {
    // 0 kHz: infinite wavelength, no turn, no division by zero.
    CablePortResult c = CablePortImpedance(0.5, 0.4, 0, 5.0);
    EXPECT_DOUBLE_EQ(c.angle, 0.4);
    EXPECT_NEAR(c.r, CablePortImpedance(0.5, 0.4, 14270, 0.0).r, 1e-12);
    // A frequency whose kHz * 1000 does not fit 32 bits is still a turn.
    c = CablePortImpedance(0.5, 0.0, 4294967295u, 5.0);
    EXPECT_TRUE(std::isfinite(c.angle));
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double len : {inf, -inf, nan}) {
        c = CablePortImpedance(0.5, 0.4, 14270, len);
        EXPECT_DOUBLE_EQ(c.angle, 0.4);
    }
    for (double bad : {inf, nan}) {
        c = CablePortImpedance(bad, 0.0, 14270, 5.0);
        EXPECT_TRUE(std::isnan(c.angle));
        EXPECT_EQ(c.r, inf);
        c = CablePortImpedance(0.5, bad, 14270, 5.0);
        EXPECT_TRUE(std::isnan(c.angle));
        EXPECT_EQ(CableText(c), "+inf");
    }
    // A huge but finite length stays finite.
    c = CablePortImpedance(0.5, 0.0, 14270, 1e300);
    EXPECT_TRUE(std::isfinite(c.angle));
}

}  // namespace
}  // namespace korvel
