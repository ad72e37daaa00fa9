// Pure arithmetic from the instrument's detector words to physical values.
// The rounded constants 3.14159, 1.570795 and 3.14 are part of the results and
// must not be replaced by exact values. Nothing here touches the instrument.
#pragma once

#include <array>
#include <cstdint>

#include "measurement_state.h"

namespace korvel {

inline constexpr double kPi = 3.14159;
inline constexpr double kHalfPi = 1.570795;
inline constexpr double kSweepVswrCeiling = 10.0;
inline constexpr double kSmithVswrCeiling = 20.0;
inline constexpr double kReferenceOhms = 50.0;

// 10 ^ (-1.5 * (2 * amp - ref) / ref). A reference word of 0 has no ratio:
// the result is NaN and callers treat the reading as unmeasured.
double DetectorRatio(uint16_t amp, uint16_t ref);

// 1.570795 * (2 * phase - ref) / ref - 1.570795, radians in [-3.14159, 0] for
// phase <= ref. NaN for a reference word of 0.
double DetectorPhase(uint16_t phase, uint16_t ref);

// Sweep VSWR: 10 at or above a magnitude of 1, otherwise |(1+m)/(1-m)|
// limited to 10, and never below 1. NaN gives the ceiling.
double VswrFromGammaSweep(double magnitude);

// Smith VSWR: 20 at exactly 1, otherwise |(1+m)/(1-m)| rounded to single
// precision and limited to 20 (so 1.5 gives 5). NaN gives the ceiling.
double VswrFromGammaSmith(double magnitude);

// Eight (reading, dBm) points of the input-power curve, single precision.
struct PowerCurve {
    std::array<float, kPowerCurvePoints> reading{};
    std::array<float, kPowerCurvePoints> dbm{};
    float slope = 0.0f;  // pinSlope, used by the straight part below point 1
};

PowerCurve BuildPowerCurve(float reading0dBm, float readingMinus20dBm, float slope);
// Fills the state's powerCurve from pinReading0dBm, pinReadingMinus20dBm and
// pinSlope.
void BuildPowerCurve(MeasurementState& state);
PowerCurve LoadPowerCurve(const MeasurementState& state);

// Power-detector reading to dBm through the curve: a straight line up to point
// 1, the cubic through points 0-3 below point 3, the degree-7 polynomial above.
// NaN when the curve is degenerate (two equal readings or a zero slope).
float ReadingToDbm(float reading, const PowerCurve& curve);
float ReadingToDbm(float reading, const MeasurementState& state);

// |2 m sin q / (m^2 + 1 - 2 m sin q)|; decides the sign of a Smith phase.
// NaN when the denominator is 0.
double SignTest(double magnitude, double angle);

// Angle of (re, im) by the quadrant rule with the rounded constants
// (note the lower-left quadrant subtracts 3.14, not 3.14159).
double ReflectionAngle(double re, double im);

struct Impedance {
    double r = 0.0;
    double x = 0.0;
};

// 50-ohm impedance of the reflection (rho, theta). A real part of exactly 1
// gives (0, 0); the short circuit (-1, 0) gives (0, 0) as well.
Impedance ImpedanceFromGamma(double rho, double theta);

// Magnitude of (a1, p1) - (a2, p2) in polar form.
double DifferenceMagnitude(double a1, double p1, double a2, double p2);

}  // namespace korvel
