// The sweep plan every range follows: a fixed count of points spread evenly
// from the range's start, the stop itself never measured. The worker, the
// exports and the window all place points by it.
#pragma once

#include <cstddef>

namespace korvel {

inline constexpr std::size_t kSweepPoints = 200;

// Frequency of sweep point i of a range: start + (stop - start) * i / 200 MHz,
// from the dialog's single-precision limits, in double.
constexpr double SweepPointFreqMHz(float startMHz, float stopMHz, int i) {
    const double start = startMHz;
    const double stop = stopMHz;
    return start + (stop - start) * i / static_cast<double>(kSweepPoints);
}

}  // namespace korvel
