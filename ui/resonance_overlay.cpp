#include "resonance_overlay.h"

#include <vector>

#include "analysis/resonance.h"

namespace korvel {

ChartOverlay ResonanceOverlay(std::span<const double> vswr, uint32_t startHz, uint32_t stepHz) {
    // In double: the chart's own 32-bit arithmetic would wrap for a plan
    // beyond 4.29 GHz, and the finder needs ascending frequencies.
    const double start = startHz;
    const double step = stepHz;
    std::vector<double> freqMHz(vswr.size());
    for (std::size_t k = 0; k < vswr.size(); ++k) {
        freqMHz[k] = (start + step * static_cast<double>(k)) / 1e6;
    }
    const ResonanceSummary summary = FindResonance(freqMHz, vswr);
    ChartOverlay overlay;
    if (summary.lowMHz) {
        overlay.linesAtHz.push_back(*summary.lowMHz * 1e6);
    }
    if (summary.highMHz) {
        overlay.linesAtHz.push_back(*summary.highMHz * 1e6);
    }
    const double stop = start + step * static_cast<double>(vswr.size());
    overlay.text = QString::fromStdString(BandwidthText(summary, start / 1e6, stop / 1e6));
    return overlay;
}

}  // namespace korvel
