// The analog side of the simulated instrument: what the reflection bridge,
// the gain/phase detector pair and the power detector put out for a given
// bench and frequency, before the ADC's noise and rounding.
#pragma once

#include <complex>

#include "sim_bench.h"

namespace korvel::sim {

using Complex = std::complex<double>;

// The detector pair's full-scale reference, in ADC counts.
inline constexpr double kReferenceWord = 2950.0;
// The power detector's readings at 0 dBm and -20 dBm (also the factory
// input-power calibration).
inline constexpr double kPowerReading0dBm = 2446.0;
inline constexpr double kPowerReadingMinus20dBm = 2084.0;
// 12-bit ADC.
inline constexpr double kAdcFullScale = 4095.0;
// The frequency of the open-port reference measurement.
inline constexpr double kOpenPortFreqMHz = 39.35;

// Reflection coefficient (50 ohm) of the load on the Output Port.
Complex LoadGamma(SimBench bench, double freqMHz);
// Impedance of the default three-band antenna.
Complex AntennaImpedance(double freqMHz);
// Voltage transmission of the band-pass through path (Antenna bench).
double BandPassGain(double freqMHz);
// Power arriving at the Input Port in dBm (before the detector's floor).
double InputPowerDbm(SimBench bench, double freqMHz);

// The bridge's output relative to the forward sample: directivity leakage
// plus the tracked, inverted reflection, scaled by the detector gain.
Complex BridgeVector(Complex gamma, double freqMHz);

// Noise-free detector outputs, in ADC counts.
struct AnalogWords {
    double amp = 0;
    double ref = 0;
    double phase = 0;
    double power = 0;
};
AnalogWords DetectorOutputs(SimBench bench, double freqMHz);
// The same for a load of reflection `gamma` and `inputDbm` at the Input Port.
AnalogWords DetectorOutputs(Complex gamma, double inputDbm, double freqMHz);

// The factory's open-port record: the open port's phase, and an amplitude
// trimmed at the factory so that 0.97 of its ratio, which the program takes
// as the bridge's tracking, is the tracking (the bare open port would make
// every reflection read about 3 % high).
AnalogWords FactoryOpenPortOutputs();

// Amplitude word for a voltage ratio (inverse of the program's ratio rule):
// ref/2 * (1 - log10(ratio)/1.5), clamped to 0..ref.
double AmpWordForRatio(double ratio, double ref);
// Phase word for an angle: the detector reports only |angle|, as
// ref * (1 - |angle|/pi), clamped to 0..ref.
double PhaseWordForAngle(double angle, double ref);
// Power detector reading for an input level, following the input-power
// curve through the default readings; clamped to the ADC range.
double PowerReadingForDbm(double dbm);

}  // namespace korvel::sim
