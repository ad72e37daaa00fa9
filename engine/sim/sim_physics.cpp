#include "sim_physics.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvel::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kZ0 = 50.0;

// Physics below works in [kMinFreqMHz, kMaxFreqMHz]; a tuning word outside
// (0 Hz, or a wrapped word) is clamped so every formula stays finite.
constexpr double kMinFreqMHz = 0.1;
constexpr double kMaxFreqMHz = 200.0;

// Detector gain: an open port reads about +18 dB and a 50 ohm load, the
// bridge's leakage alone, about -27 to -25 dB: both inside the detector's
// +-30 dB, so the factory's 50 ohm records hold the leakage itself.
constexpr double kDetectorGain = 8.0;
constexpr double kBridgeTracking = 0.995;
// The program takes 0.97 of the open-port record's ratio as the bridge's
// tracking.
constexpr double kOpenRecordTrim = 0.97;

// Power detector floor and the isolation of the through path.
constexpr double kDetectorFloorDbm = -70.0;
constexpr double kThroughIsolation = 1e-7;  // -70 dB in power

double ClampFreq(double f) {
    if (!(f >= kMinFreqMHz)) {  // also catches NaN
        return kMinFreqMHz;
    }
    return std::min(f, kMaxFreqMHz);
}

Complex GammaOf(Complex z) {
    return (z - kZ0) / (z + kZ0);
}

double GeneratorDbm(double f) {
    return -2.0 - 0.03 * f;
}

double CableLossDb(double f) {
    return 0.04 * std::sqrt(f);
}

// Open end: a little fringing capacitance keeps the reflection just off 1.
Complex OpenGamma(double f) {
    const double omega = 2 * kPi * f * 1e6;
    const Complex z = 1.0 / Complex(0.0, omega * 0.6e-12);
    return GammaOf(z);
}

// Power-detector curve nodes (dBm, reading), through the default readings.
struct CurveNode {
    double dbm;
    double reading;
};

std::array<CurveNode, 8> CurveNodes() {
    const double p0 = kPowerReading0dBm;
    const double s = (kPowerReading0dBm - kPowerReadingMinus20dBm) / 315.0;
    return {{{-20, kPowerReadingMinus20dBm},
             {-14, p0 - 168 * s},
             {-8, p0 - 57 * s},
             {-2, p0 - 9 * s},
             {0, p0},
             {6, p0 + 22 * s},
             {12, p0 + 38 * s},
             {15, p0 + 42 * s}}};
}

// The polynomial through the first `count` nodes, dBm at a reading.
double Lagrange(double reading, const std::array<CurveNode, 8>& nodes, std::size_t count) {
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        double term = nodes[i].dbm;
        for (std::size_t j = 0; j < count; ++j) {
            if (j != i) {
                term *= (reading - nodes[j].reading) / (nodes[i].reading - nodes[j].reading);
            }
        }
        sum += term;
    }
    return sum;
}

// Level for a reading along the curve the program reads the detector by:
// the straight line up to the -14 dBm node, the cubic through the four lowest
// nodes up to the -2 dBm node, the polynomial through all eight above.
double CurveDbm(double reading, const std::array<CurveNode, 8>& nodes) {
    if (reading <= nodes[1].reading) {
        const double s = (kPowerReading0dBm - kPowerReadingMinus20dBm) / 315.0;
        return (reading - nodes[0].reading) / (25 * s) - 20;
    }
    return Lagrange(reading, nodes, reading < nodes[3].reading ? 4 : nodes.size());
}

// The detector follows that curve between -20 and +15 dBm (it rises steadily
// there), so the program converts a reading back to the level that produced
// it. The curve has no closed inverse: bisection finds the reading.
double CurveReading(double dbm) {
    const auto nodes = CurveNodes();
    double low = nodes.front().reading;
    double high = nodes.back().reading;
    for (int k = 0; k < 60; ++k) {
        const double mid = (low + high) / 2;
        (CurveDbm(mid, nodes) < dbm ? low : high) = mid;
    }
    return (low + high) / 2;
}

}  // namespace

Complex AntennaImpedance(double freqMHz) {
    // Three series resonators in parallel (one per band) and the feed's
    // shunt capacitance: near 50 ohm at each resonance, reactive between.
    struct Branch {
        double f0MHz, r, q;
    };
    static constexpr Branch kBranches[] = {{7.05, 50, 6}, {14.25, 52, 9}, {21.25, 48, 12}};
    const double omega = 2 * kPi * ClampFreq(freqMHz) * 1e6;
    Complex y(0.0, omega * 3e-12);
    for (const Branch& b : kBranches) {
        const double omega0 = 2 * kPi * b.f0MHz * 1e6;
        const double l = b.q * b.r / omega0;
        const double c = 1 / (omega0 * omega0 * l);
        y += 1.0 / Complex(b.r, omega * l - 1 / (omega * c));
    }
    return 1.0 / y;
}

double BandPassGain(double freqMHz) {
    // Third-order Butterworth band-pass, 1.2 MHz wide at 21 MHz, 1.2 dB loss:
    // its skirts fall inside the 20.1-21.9 MHz range.
    const double f = ClampFreq(freqMHz);
    constexpr double f0 = 21.0;
    constexpr double bandwidth = 1.2;
    const double x = (f / f0 - f0 / f) * f0 / bandwidth;
    return std::pow(10.0, -1.2 / 20) / std::sqrt(1 + std::pow(x, 6));
}

Complex LoadGamma(SimBench bench, double freqMHz) {
    const double f = ClampFreq(freqMHz);
    switch (bench) {
        case SimBench::Antenna:
            return GammaOf(AntennaImpedance(f));
        case SimBench::ThroughCable: {
            // The Input Port's slight mismatch, seen through a 1 m cable.
            const double delay = 2 * 5e-9;
            return 0.015 * std::exp(Complex(0.0, -2 * kPi * f * 1e6 * delay));
        }
        case SimBench::DummyLoad:
            return 0.0;
        case SimBench::OpenPort:
        case SimBench::Source0dBm:
        case SimBench::SourceMinus20dBm:
        case SimBench::TouchstoneFile:
            return OpenGamma(f);
    }
    return 0.0;
}

double InputPowerDbm(SimBench bench, double freqMHz) {
    const double f = ClampFreq(freqMHz);
    switch (bench) {
        case SimBench::Antenna: {
            const double g = BandPassGain(f);
            return GeneratorDbm(f) + 10 * std::log10(g * g + kThroughIsolation);
        }
        case SimBench::ThroughCable:
            return GeneratorDbm(f) - CableLossDb(f);
        case SimBench::Source0dBm:
            return 0.0;
        case SimBench::SourceMinus20dBm:
            return -20.0;
        case SimBench::DummyLoad:
        case SimBench::OpenPort:
        case SimBench::TouchstoneFile:
            break;
    }
    return -200.0;  // nothing connected: only the detector's floor remains
}

Complex BridgeVector(Complex gamma, double freqMHz) {
    const double f = ClampFreq(freqMHz);
    // Finite directivity, as a good bridge of this class has: about 45 dB at
    // 1 MHz worsening to 43 dB at 60 MHz, its phase turning with the bridge's
    // internal delay. The phase detector reports only the size of an angle, so
    // the sweep's subtraction of the 50 ohm record can land on the mirror
    // image of the leakage: up to twice the leakage (0.014) of error in a
    // reflection magnitude.
    const double leakage = 0.0056 + 0.0015 * std::min(f, 60.0) / 60.0;
    const Complex directivity = leakage * std::exp(Complex(0.0, 0.7 + 2 * kPi * f * 0.004));
    return kDetectorGain * (directivity - kBridgeTracking * gamma);
}

AnalogWords FactoryOpenPortOutputs() {
    AnalogWords w = DetectorOutputs(SimBench::OpenPort, kOpenPortFreqMHz);
    w.amp = AmpWordForRatio(kDetectorGain * kBridgeTracking / kOpenRecordTrim, w.ref);
    return w;
}

double AmpWordForRatio(double ratio, double ref) {
    if (!(ratio > 0)) {
        return ref;  // no signal: the detector's bottom end
    }
    const double amp = ref / 2 * (1 - std::log10(ratio) / 1.5);
    return std::clamp(amp, 0.0, ref);
}

double PhaseWordForAngle(double angle, double ref) {
    const double a = std::isfinite(angle) ? std::abs(std::remainder(angle, 2 * kPi)) : 0.0;
    return std::clamp(ref * (1 - a / kPi), 0.0, ref);
}

double PowerReadingForDbm(double dbm) {
    const double s = (kPowerReading0dBm - kPowerReadingMinus20dBm) / 315.0;
    double reading;
    if (std::isnan(dbm)) {
        reading = 0;
    } else if (dbm <= -20) {
        // Log-linear below -20 dBm, the same slope as the program's straight line.
        reading = kPowerReadingMinus20dBm + (dbm + 20) * 25 * s;
    } else if (dbm >= 15) {
        const auto nodes = CurveNodes();
        const double top = (nodes[7].reading - nodes[6].reading) / (nodes[7].dbm - nodes[6].dbm);
        reading = nodes[7].reading + (dbm - 15) * top;
    } else {
        reading = CurveReading(dbm);
    }
    return std::clamp(reading, 0.0, kAdcFullScale);
}

AnalogWords DetectorOutputs(SimBench bench, double freqMHz) {
    return DetectorOutputs(LoadGamma(bench, freqMHz), InputPowerDbm(bench, freqMHz), freqMHz);
}

AnalogWords DetectorOutputs(Complex gamma, double inputDbm, double freqMHz) {
    const Complex v = BridgeVector(gamma, freqMHz);
    AnalogWords w;
    w.ref = kReferenceWord;
    w.amp = AmpWordForRatio(std::abs(v), w.ref);
    w.phase = PhaseWordForAngle(std::arg(v), w.ref);
    const double signalMw = std::pow(10.0, inputDbm / 10);
    const double floorMw = std::pow(10.0, kDetectorFloorDbm / 10);
    w.power = PowerReadingForDbm(10 * std::log10(signalMw + floorMw));
    return w;
}

}  // namespace korvel::sim
