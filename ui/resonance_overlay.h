// The resonance marks of a VSWR chart: dashed lines where the curve crosses
// 2:1 on either side of its minimum, and the one-line bandwidth text.
#pragma once

#include <cstdint>
#include <span>

#include "chart_overlay.h"

namespace korvel {

// For the chart's samples and frequency plan (start and step in hertz, as
// the chart carries them); the range runs from the first point to one step
// past the last, as the sweep plans it.
ChartOverlay ResonanceOverlay(std::span<const double> vswr, uint32_t startHz, uint32_t stepHz);

}  // namespace korvel
