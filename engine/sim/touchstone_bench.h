// A Touchstone file's circuit on the simulated instrument's ports: a load on
// the Output Port (.s1p) or a two-port from the Output Port to the Input Port
// (.s2p). Outside the file's frequencies the Output Port is left open.
#pragma once

#include <string>

#include "sim_physics.h"
#include "touchstone.h"

namespace korvel::sim {

// The frequencies the program tunes the instrument to, MHz.
inline constexpr double kProgramLowMHz = 1.0;
inline constexpr double kProgramHighMHz = 60.0;

struct PortSignals {
    // Reflection (50 ohm) at the Output Port.
    Complex gamma;
    // Power arriving at the Input Port, dBm.
    double inputDbm = 0;
};

PortSignals TouchstoneSignals(const TouchstoneData& file, double freqMHz);

// What to tell the user once about the file: a one-port load that reflects
// more than it receives, and frequencies the program can tune to that the
// file does not cover; empty when neither.
std::string TouchstoneRangeNotice(const std::string& name, const TouchstoneData& file);

}  // namespace korvel::sim
