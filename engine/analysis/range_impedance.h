// One range's settled reflections with their frequencies, from the readings
// the sweep worker keeps: what the impedance columns, the Touchstone export
// and the Impedance window show.
#pragma once

#include <vector>

#include "analysis/phase_settling.h"
#include "analysis/reflection_readings.h"

namespace korvel {

struct RangeImpedance {
    int range = 1;
    std::vector<double> freqMHz;  // one per sweep point
    SettledTrace trace;           // as many points
};

// Range 1..3 swept from startMHz to stopMHz.
RangeImpedance SettleRange(const ReflectionReadings& readings, int range, float startMHz,
                           float stopMHz);

}  // namespace korvel
