// What a tuner reads from a complex reflection at one frequency: the load's
// resistance and reactance, their magnitude, the VSWR and return loss, and
// the inductor or capacitor that alone would have that reactance; and the
// reflection carried along a 50-ohm cable to its far end.
#pragma once

#include <complex>

namespace korvel {

struct ImpedanceFigures {
    double r = 0, x = 0, zMag = 0;  // ohms; infinite for a reflection of exactly 1
    double vswr = 1;                // infinite at |gamma| >= 1
    double returnLossDb = 0;        // -20 log10 |gamma|; infinite for a perfect match
    double seriesH = 0;             // X / (2 pi f) where X > 0, else 0
    double seriesF = 0;             // -1 / (2 pi f X) where X < 0, else 0
};

ImpedanceFigures FiguresFromGamma(std::complex<double> gamma, double freqMHz);

// The reflection at the far end of `cableM` metres of 50-ohm cable (velocity
// factor 0.67, lossless), as the Smith panel carries its point, at `freqMHz`.
std::complex<double> GammaAtCablePort(std::complex<double> gamma, double freqMHz, double cableM);

}  // namespace korvel
