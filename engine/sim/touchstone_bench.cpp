#include "touchstone_bench.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace korvel::sim {

namespace {

// Below anything the power detector can see.
constexpr double kNothingDbm = -200.0;
// The generator is tuned in steps of about 0.03 Hz: a sweep that ends on the
// file's last frequency may land a step past it, and must still be inside.
constexpr double kTuningSlackMHz = 1e-6;

double SnappedToFile(const TouchstoneData& file, double f) {
    if (!file.freqMHz.empty()) {
        if (std::abs(f - file.freqMHz.front()) <= kTuningSlackMHz) {
            return file.freqMHz.front();
        }
        if (std::abs(f - file.freqMHz.back()) <= kTuningSlackMHz) {
            return file.freqMHz.back();
        }
    }
    return f;
}

std::string Mhz(double f) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g MHz", f);
    return text;
}

}  // namespace

PortSignals TouchstoneSignals(const TouchstoneData& file, double freqMHz) {
    const std::optional<SParameters> s = file.At(SnappedToFile(file, freqMHz));
    if (!s) {
        return {LoadGamma(SimBench::OpenPort, freqMHz), kNothingDbm};
    }
    if (file.ports == 1) {
        return {s->s11, kNothingDbm};
    }
    // The two-port sits on the Output Port and the factory's through cable
    // takes its far side to the Input Port, whose 50 ohm ends the two-port
    // without reflection: the Output Port sees S11, and the through record
    // cancels the cable, leaving S21 on the chart.
    const double power = std::max(std::norm(s->s21), 1e-30);
    return {s->s11, InputPowerDbm(SimBench::ThroughCable, freqMHz) + 10 * std::log10(power)};
}

std::string TouchstoneRangeNotice(const std::string& name, const TouchstoneData& file) {
    std::string notice;
    if (file.activeLine != 0) {
        char magnitude[32];
        std::snprintf(magnitude, sizeof magnitude, "%.6g", file.activeMagnitude);
        notice = name + " line " + std::to_string(file.activeLine) + ": |S11| = " + magnitude +
                 " is above 1, more than a passive load can reflect; it is used as written.";
    }
    if (file.freqMHz.empty()) {
        return notice;
    }
    const double low = file.freqMHz.front();
    const double high = file.freqMHz.back();
    if (low <= kProgramLowMHz && high >= kProgramHighMHz) {
        return notice;
    }
    return (notice.empty() ? "" : notice + "\n") + name + " covers " + Mhz(low) + " to " +
           Mhz(high) + "; outside that range the simulated load is an open circuit.";
}

}  // namespace korvel::sim
