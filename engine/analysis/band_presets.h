// The amateur bands inside the window's 1-60 MHz ranges, as ranges to sweep:
// each band widened on both sides so that its edges stand inside the chart.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace korvel {

struct BandPreset {
    std::string_view name;  // "160 m" ... "6 m"
    uint32_t bandLowKHz;
    uint32_t bandHighKHz;
    // The band and 5 % of its width on each side, rounded outward to whole
    // kHz: the texts stay short and the band edges are never cut off.
    uint32_t startKHz;
    uint32_t stopKHz;
};

// From the lowest band to the highest.
std::span<const BandPreset> BandPresets();

}  // namespace korvel
