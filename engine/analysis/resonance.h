// The lowest VSWR of a swept range and where the curve crosses a VSWR
// threshold (2:1 by default) on either side of it.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace korvel {

struct ResonanceSummary {
    bool measured = false;               // false: no measured point at all
    double minVswr = 0, minFreqMHz = 0;  // the lowest VSWR (first one on ties) and its frequency
    bool reachesThreshold = false;       // minVswr <= threshold
    std::optional<double> lowMHz;   // VSWR crosses the threshold below the minimum (interpolated)
    std::optional<double> highMHz;  // ... and above it; nullopt: not crossed inside the range
};

// Unmeasured points (IsMeasuredVswr false) and points without a finite
// frequency are skipped; the crossing is interpolated linearly between the
// nearest measured points on either side of it. A point exactly at the
// threshold is inside the band, so an exact hit is the crossing itself.
// freqMHz ascending, or descending for a falling range (read from its low
// end); when the sizes differ only the common length is read.
ResonanceSummary FindResonance(std::span<const double> freqMHz, std::span<const double> vswr,
                               double threshold = 2.0);

// The chart's one-line text: "2:1  13.902–14.610 MHz  (708 kHz)"; "2:1 none" when
// the minimum is above 2; an edge not crossed is written as the range edge with
// "<" / ">", e.g. "2:1  <13.100–14.610 MHz  (>1510 kHz)". UTF-8 (the dash is
// U+2013). "" when nothing was measured. The range's edges may come in either order.
std::string BandwidthText(const ResonanceSummary& s, double rangeStartMHz, double rangeStopMHz);

}  // namespace korvel
