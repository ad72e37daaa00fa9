#include "measurement_math.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// atan(num / den) with the limits of a zero denominator spelled out, so a
// reflection on the real axis never divides by zero.
double AtanOfRatio(double num, double den) {
    if (den == 0.0) {
        if (num > 0.0)
            return std::atan(std::numeric_limits<double>::infinity());
        if (num < 0.0)
            return -std::atan(std::numeric_limits<double>::infinity());
        return 0.0;
    }
    return std::atan(num / den);
}

// Lagrange polynomial through points [0, count) evaluated term by term in
// single precision, as the instrument's curve was defined.
float Lagrange(float x, const PowerCurve& curve, std::size_t count) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        float term = curve.dbm[i];
        for (std::size_t j = 0; j < count; ++j) {
            if (j == i)
                continue;
            term *= (x - curve.reading[j]) / (curve.reading[i] - curve.reading[j]);
        }
        sum += term;
    }
    return sum;
}

bool CurveUsable(const PowerCurve& curve) {
    if (!std::isfinite(curve.slope) || curve.slope == 0.0f)
        return false;
    for (std::size_t i = 0; i < kPowerCurvePoints; ++i) {
        if (!std::isfinite(curve.reading[i]))
            return false;
        for (std::size_t j = i + 1; j < kPowerCurvePoints; ++j) {
            if (curve.reading[i] == curve.reading[j])
                return false;
        }
    }
    return true;
}

}  // namespace

double DetectorRatio(uint16_t amp, uint16_t ref) {
    if (ref == 0)
        return kNaN;
    const int32_t diff = 2 * int32_t{amp} - int32_t{ref};
    return std::pow(10.0, -1.5 * diff / ref);
}

double DetectorPhase(uint16_t phase, uint16_t ref) {
    if (ref == 0)
        return kNaN;
    const int32_t diff = 2 * int32_t{phase} - int32_t{ref};
    return kHalfPi * diff / ref - kHalfPi;
}

double VswrFromGammaSweep(double magnitude) {
    if (std::isnan(magnitude) || magnitude >= 1.0)
        return kSweepVswrCeiling;
    double v = std::fabs((1.0 + magnitude) / (1.0 - magnitude));
    if (v > kSweepVswrCeiling)
        v = kSweepVswrCeiling;
    if (v < 1.0)
        v = 1.0;
    return v;
}

double VswrFromGammaSmith(double magnitude) {
    if (std::isnan(magnitude) || magnitude == 1.0)
        return kSmithVswrCeiling;
    const double v = std::fabs((1.0 + magnitude) / (1.0 - magnitude));
    // Anything above the ceiling (or NaN, from inf / inf) gives the ceiling
    // whether or not it is rounded first, and a double beyond the float range
    // must not be narrowed.
    if (!(v <= kSmithVswrCeiling))
        return kSmithVswrCeiling;
    return static_cast<float>(v);
}

PowerCurve BuildPowerCurve(float p0, float p20, float s) {
    PowerCurve c;
    c.slope = s;
    c.reading = {p20, p0 - 168 * s, p0 - 57 * s, p0 - 9 * s,
                 p0,  p0 + 22 * s,  p0 + 38 * s, p0 + 42 * s};
    c.dbm = {-20.0f, -14.0f, -8.0f, -2.0f, 0.0f, 6.0f, 12.0f, 15.0f};
    return c;
}

void BuildPowerCurve(MeasurementState& state) {
    const PowerCurve c =
        BuildPowerCurve(state.pinReading0dBm.load(kRelaxed),
                        state.pinReadingMinus20dBm.load(kRelaxed), state.pinSlope.load(kRelaxed));
    for (std::size_t k = 0; k < kPowerCurvePoints; ++k) {
        state.powerCurveReading[k].store(c.reading[k], kRelaxed);
        state.powerCurveDbm[k].store(c.dbm[k], kRelaxed);
    }
}

PowerCurve LoadPowerCurve(const MeasurementState& state) {
    PowerCurve c;
    c.slope = state.pinSlope.load(kRelaxed);
    for (std::size_t k = 0; k < kPowerCurvePoints; ++k) {
        c.reading[k] = state.powerCurveReading[k].load(kRelaxed);
        c.dbm[k] = state.powerCurveDbm[k].load(kRelaxed);
    }
    return c;
}

float ReadingToDbm(float x, const PowerCurve& curve) {
    if (!CurveUsable(curve))
        return std::numeric_limits<float>::quiet_NaN();
    if (x <= curve.reading[1])
        return (x - curve.reading[0]) / (25 * curve.slope) - 20;
    if (x < curve.reading[3])
        return Lagrange(x, curve, 4);
    return Lagrange(x, curve, kPowerCurvePoints);
}

float ReadingToDbm(float reading, const MeasurementState& state) {
    return ReadingToDbm(reading, LoadPowerCurve(state));
}

double SignTest(double m, double q) {
    const double num = 2 * m * std::sin(q);
    const double den = m * m + 1 - 2 * m * std::sin(q);
    if (den == 0.0)
        return kNaN;
    return std::fabs(num / den);
}

double ReflectionAngle(double re, double im) {
    if (re == 0.0)
        return im >= 0.0 ? kHalfPi : -kHalfPi;
    const double a = std::atan(im / re);
    if (im >= 0.0 && a < 0.0)
        return a + kPi;
    if (im < 0.0 && a > 0.0)
        return a - 3.14;
    return a;
}

Impedance ImpedanceFromGamma(double rho, double theta) {
    const double gr = rho * std::cos(theta);
    if (gr == 1.0)
        return {};
    const double gi = rho * std::sin(theta);
    const double den = (1 - gr) * (1 - gr) + gi * gi;
    const double zMag = kReferenceOhms * std::sqrt(((1 + gr) * (1 + gr) + gi * gi) / den);
    if (zMag == 0.0)
        return {};  // short circuit: the angle below would be 0/0
    const double phi = AtanOfRatio(gi, 1 + gr) - AtanOfRatio(gi, gr - 1);
    return {zMag * std::cos(phi), zMag * std::sin(phi)};
}

double DifferenceMagnitude(double a1, double p1, double a2, double p2) {
    const double re = a1 * std::cos(p1) - a2 * std::cos(p2);
    const double im = a1 * std::sin(p1) - a2 * std::sin(p2);
    return std::sqrt(im * im + re * re);
}

}  // namespace korvel
