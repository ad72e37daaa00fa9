// What korvel-sweep prints: the Smith point with its cable-port impedance,
// the input power and the four point arrays with the frequency of each point.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

#include "dialog_settings.h"
#include "measurement_state.h"

namespace korvel::sweep {

struct ChannelReport {
    std::string name;
    std::array<double, kSweepPoints> freqMHz{};
    std::array<double, kSweepPoints> values{};
};

struct SweepReport {
    uint32_t smithKHz = 0;
    double gammaMag = 0, gammaAngle = 0, r = 0, x = 0, zMag = 0, vswr = 0;
    double cableR = 0, cableX = 0;
    double rfPowerDbm = 0;
    std::array<ChannelReport, 4> channels;  // VSWR1, VSWR2, VSWR3, S21
};

// Reads the state once the worker has stopped. S21 shares range 3's plan.
SweepReport BuildReport(const MeasurementState& state, const DialogSettings& settings);

// "%.17g"; JSON writes null for a value that is not finite.
std::string FormatNumber(double v);
void WriteJson(std::ostream& out, const SweepReport& report);
void WriteCsv(std::ostream& out, const SweepReport& report);

}  // namespace korvel::sweep
