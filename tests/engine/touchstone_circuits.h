// Known circuits for the Touchstone tests, worked out here from circuit theory
// alone (impedances, the ABCD matrix of a line), not with the simulator's
// code, and written out as Touchstone files in a chosen format and reference.
#pragma once

#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace korvel::testing {

using Cx = std::complex<double>;

inline constexpr double kTwoPi = 2 * 3.14159265358979323846;

struct TwoPortS {
    Cx s11, s21, s12, s22;
};

inline Cx ReflectionOf(Cx z, double r0) {
    return (z - r0) / (z + r0);
}

// A series RLC: a short vertical near resonance.
inline Cx SeriesRlc(double fMHz, double r, double henry, double farad) {
    const double w = kTwoPi * fMHz * 1e6;
    return Cx(r, w * henry - 1 / (w * farad));
}

// A coaxial line: characteristic impedance, length, velocity factor, and a
// loss that grows with the square root of the frequency (skin effect).
struct Line {
    double z0 = 50;
    double metres = 1;
    double velocity = 0.66;
    double dbPerMetreAt10MHz = 0.05;
};

// S parameters in reference r0, from the line's ABCD matrix.
inline TwoPortS LineS(double fMHz, const Line& line, double r0) {
    const double alpha = line.dbPerMetreAt10MHz * std::sqrt(fMHz / 10) / 8.685889638;
    const double beta = kTwoPi * fMHz * 1e6 / (299792458.0 * line.velocity);
    const Cx gl = Cx(alpha, beta) * line.metres;
    const Cx a = std::cosh(gl), b = line.z0 * std::sinh(gl), c = std::sinh(gl) / line.z0, d = a;
    const Cx den = a + b / r0 + c * r0 + d;
    return {(a + b / r0 - c * r0 - d) / den, 2.0 / den, 2.0 * (a * d - b * c) / den,
            (-a + b / r0 - c * r0 + d) / den};
}

inline Cx ImpedanceOf(Cx gamma) {
    return 50.0 * (1.0 + gamma) / (1.0 - gamma);
}

enum class TsFormat { MA, DB, RI };

// Writes one value pair in the given format.
inline std::string TsPair(Cx v, TsFormat format) {
    char text[80];
    const double deg = std::arg(v) * 360 / kTwoPi;
    switch (format) {
        case TsFormat::MA:
            std::snprintf(text, sizeof text, " %.12g %.12g", std::abs(v), deg);
            break;
        case TsFormat::DB:
            std::snprintf(text, sizeof text, " %.12g %.12g", 20 * std::log10(std::abs(v)), deg);
            break;
        case TsFormat::RI:
            std::snprintf(text, sizeof text, " %.12g %+.12g", v.real(), v.imag());
            break;
    }
    return text;
}

// A file of `values(fMHz)` (one or four parameters, S11 S21 S12 S22) at the
// given frequencies, under `optionLine`, with frequencies in `unitMHz` units.
inline std::string WriteTouchstone(const std::string& name, const std::string& optionLine,
                                   double unitMHz, TsFormat format,
                                   const std::vector<double>& freqsMHz,
                                   const std::function<std::vector<Cx>(double)>& values) {
    const std::string path = (std::filesystem::path(::testing::TempDir()) / name).string();
    std::ofstream out(path, std::ios::trunc);
    out << "! " << name << ": written by the KORVEL tests\n" << optionLine << "\n";
    for (const double f : freqsMHz) {
        char freq[40];
        std::snprintf(freq, sizeof freq, "%.12g", f / unitMHz);
        out << freq;
        for (const Cx& v : values(f))
            out << TsPair(v, format);
        out << "\n";
    }
    return path;
}

inline std::vector<double> FrequencyGrid(double first, double last, double step) {
    std::vector<double> out;
    for (int k = 0; first + k * step <= last + 1e-9; ++k)
        out.push_back(first + k * step);
    return out;
}

}  // namespace korvel::testing
