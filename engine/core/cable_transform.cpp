#include "cable_transform.h"

#include <cmath>
#include <limits>

#include "measurement_math.h"

namespace korvel {

CablePortResult CablePortImpedance(double gammaMag, double gammaAngle, uint32_t smithFreqKHz,
                                   double cableLengthM) {
    if (!std::isfinite(gammaMag) || !std::isfinite(gammaAngle)) {
        const double inf = std::numeric_limits<double>::infinity();
        return {std::numeric_limits<double>::quiet_NaN(), inf, inf};
    }
    double turned = gammaAngle;
    if (smithFreqKHz != 0 && std::isfinite(cableLengthM)) {
        // In double: the kHz * 1000 product must not wrap at 32 bits.
        const float lambda = static_cast<float>(300000000.0 / (smithFreqKHz * 1000.0));
        const double h = lambda * 0.5;
        const double electrical = cableLengthM / kCableVelocityFactor;
        // Whole half-waves are counted in double: no integer conversion needed.
        const double halfWaves = std::trunc(electrical / h);
        const double e = electrical - halfWaves * h;
        turned = e / h * 2 * kPi + gammaAngle;
    }
    const Impedance z = ImpedanceFromGamma(gammaMag, turned);
    return {turned, z.r, z.x};
}

}  // namespace korvel
