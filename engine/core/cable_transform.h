// The reflection at the far end of a 50-ohm cable: the measured reflection
// turned by the cable's electrical length at the Smith frequency. Used by the
// Smith panel and the headless sweep tool alike.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr double kCableVelocityFactor = 0.67;

struct CablePortResult {
    double angle = 0.0;  // turned reflection angle phi_c, radians
    double r = 0.0;      // Rc, ohms
    double x = 0.0;      // Xc, ohms
};

// Wavelength 3e8 / (kHz * 1000) rounded to single precision, half-wave h,
// electrical length L = length / 0.67, remainder e of L over whole half-waves,
// angle = e / h * 2 * 3.14159 + gammaAngle, then the impedance at that angle.
// A Smith frequency of 0 kHz has an infinite wavelength: no turn. A cable
// length that is not finite turns nothing either. A magnitude or angle that is
// not finite gives angle NaN (nothing to draw) and Rc = Xc = +infinity.
CablePortResult CablePortImpedance(double gammaMag, double gammaAngle, uint32_t smithFreqKHz,
                                   double cableLengthM);

}  // namespace korvel
