#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/impedance_figures.h"
#include "core/cable_transform.h"

namespace korvel {
namespace {

using Cx = std::complex<double>;

Cx GammaOf(Cx z) {
    return (z - 50.0) / (z + 50.0);
}

// The load's own figures, and the inductor or capacitor its reactance is.
TEST(ImpedanceFigures, LoadsReadBackWithTheirSeriesElement) {
    struct Row {
        Cx z;
        double freqMHz, henry, farad;
    };
    const double w = 2 * std::numbers::pi * 14e6;
    const Row rows[] = {
        {{30, 40}, 14, 40 / w, 0},
        {{80, -25}, 14, 0, 1 / (w * 25)},
        {{50, 0}, 14, 0, 0},
    };
    for (const Row& row : rows) {
        const ImpedanceFigures f = FiguresFromGamma(GammaOf(row.z), row.freqMHz);
        EXPECT_NEAR(f.r, row.z.real(), 1e-9);
        EXPECT_NEAR(f.x, row.z.imag(), 1e-9);
        EXPECT_NEAR(f.zMag, std::abs(row.z), 1e-9);
        EXPECT_NEAR(f.seriesH, row.henry, 1e-15);
        EXPECT_NEAR(f.seriesF, row.farad, 1e-18);
        const double g = std::abs(GammaOf(row.z));
        EXPECT_NEAR(f.vswr, (1 + g) / (1 - g), 1e-9);
        EXPECT_EQ(f.returnLossDb, g > 0 ? -20 * std::log10(g) : INFINITY);
    }
}

// Carried along the cable, every point lands where the Smith panel carries
// its point at that frequency.
TEST(ImpedanceFigures, CablePortAsTheSmithPanelCarriesIt) {
    for (const double metres : {0.0, 3.3, 12.0, 97.0}) {
        for (const uint32_t kHz : {1800u, 7100u, 14270u, 50000u}) {
            const Cx g = std::polar(0.6, 0.4);
            const CablePortResult smith = CablePortImpedance(0.6, 0.4, kHz, metres);
            const ImpedanceFigures f =
                FiguresFromGamma(GammaAtCablePort(g, kHz / 1000.0, metres), kHz / 1000.0);
            const double zMag = std::hypot(smith.r, smith.x);
            EXPECT_NEAR(f.r, smith.r, 1e-3 * zMag) << metres << " m, " << kHz << " kHz";
            EXPECT_NEAR(f.x, smith.x, 1e-3 * zMag) << metres << " m, " << kHz << " kHz";
        }
    }
}

}  // namespace
}  // namespace korvel
