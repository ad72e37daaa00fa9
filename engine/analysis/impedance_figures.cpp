#include "impedance_figures.h"

#include <cmath>
#include <limits>

#include "core/cable_transform.h"
#include "core/measurement_math.h"

namespace korvel {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

ImpedanceFigures FiguresFromGamma(std::complex<double> gamma, double freqMHz) {
    ImpedanceFigures f;
    const double mag = std::abs(gamma);
    const std::complex<double> den = 1.0 - gamma;
    if (den == 0.0) {
        f.r = f.zMag = f.vswr = kInf;
        return f;
    }
    const std::complex<double> z = kReferenceOhms * (1.0 + gamma) / den;
    f.r = z.real();
    f.x = z.imag();
    f.zMag = std::abs(z);
    f.vswr = mag < 1 ? (1 + mag) / (1 - mag) : kInf;
    f.returnLossDb = mag > 0 ? -20 * std::log10(mag) : kInf;
    const double omega = kTwoPi * freqMHz * 1e6;
    if (omega > 0 && f.x > 0)
        f.seriesH = f.x / omega;
    if (omega > 0 && f.x < 0)
        f.seriesF = -1 / (omega * f.x);
    return f;
}

std::complex<double> GammaAtCablePort(std::complex<double> gamma, double freqMHz, double cableM) {
    if (!(freqMHz > 0) || !std::isfinite(cableM))
        return gamma;
    // Whole half-waves turn the reflection by whole circles: only the rest counts.
    const double halfWave = 300.0 / freqMHz / 2;
    const double electrical = cableM / kCableVelocityFactor;
    const double rest = electrical - std::trunc(electrical / halfWave) * halfWave;
    return gamma * std::polar(1.0, rest / halfWave * kTwoPi);
}

}  // namespace korvel
