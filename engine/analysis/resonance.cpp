#include "resonance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "vswr_figures.h"

namespace korvel {
namespace {

struct Point {
    double f, v;
};

// Where the straight line from `outside` (above the threshold) to `inside`
// (at or below it) meets the threshold. outside.v > threshold >= inside.v,
// so the divisor is positive.
double Crossing(Point outside, Point inside, double threshold) {
    const double t = (outside.v - threshold) / (outside.v - inside.v);
    return outside.f + t * (inside.f - outside.f);
}

// Whole kilohertz of a frequency in MHz, defined for every input.
int64_t RoundedKHz(double mhz) {
    const double khz = std::round(mhz * 1000.0);
    if (!std::isfinite(khz)) {
        return 0;
    }
    return static_cast<int64_t>(std::clamp(khz, -1e15, 1e15));
}

std::string Mhz(double mhz) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(RoundedKHz(mhz)) / 1000.0);
    return buf;
}

}  // namespace

ResonanceSummary FindResonance(std::span<const double> freqMHz, std::span<const double> vswr,
                               double threshold) {
    ResonanceSummary s;
    const std::size_t n = std::min(freqMHz.size(), vswr.size());
    std::vector<Point> pts;
    pts.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (IsMeasuredVswr(vswr[i]) && std::isfinite(freqMHz[i])) {
            pts.push_back({freqMHz[i], vswr[i]});
        }
    }
    if (pts.empty()) {
        return s;
    }
    // A falling range (start above stop) is read from its low end, so "low"
    // stays the lower frequency.
    if (pts.front().f > pts.back().f) {
        std::reverse(pts.begin(), pts.end());
    }
    std::size_t m = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        if (pts[i].v < pts[m].v) {
            m = i;
        }
    }
    s.measured = true;
    s.minVswr = pts[m].v;
    s.minFreqMHz = pts[m].f;
    s.reachesThreshold = s.minVswr <= threshold;
    if (!s.reachesThreshold) {
        return s;
    }
    for (std::size_t i = m; i-- > 0;) {
        if (pts[i].v > threshold) {
            s.lowMHz = Crossing(pts[i], pts[i + 1], threshold);
            break;
        }
    }
    for (std::size_t i = m + 1; i < pts.size(); ++i) {
        if (pts[i].v > threshold) {
            s.highMHz = Crossing(pts[i], pts[i - 1], threshold);
            break;
        }
    }
    return s;
}

std::string BandwidthText(const ResonanceSummary& s, double rangeStartMHz, double rangeStopMHz) {
    if (!s.measured) {
        return "";
    }
    if (!s.reachesThreshold) {
        return "2:1 none";
    }
    const double low = s.lowMHz.value_or(std::min(rangeStartMHz, rangeStopMHz));
    const double high = s.highMHz.value_or(std::max(rangeStartMHz, rangeStopMHz));
    const bool open = !s.lowMHz || !s.highMHz;
    // The width is taken from the rounded figures shown, so the text adds up.
    const int64_t widthKHz = RoundedKHz(high) - RoundedKHz(low);
    std::string text = "2:1  ";
    text += (s.lowMHz ? "" : "<") + Mhz(low);
    text += "\u2013";
    text += (s.highMHz ? "" : ">") + Mhz(high);
    text += " MHz  (";
    text += open ? ">" : "";
    text += std::to_string(widthKHz) + " kHz)";
    return text;
}

}  // namespace korvel
