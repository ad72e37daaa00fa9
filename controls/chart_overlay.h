// Marks the owner of a line chart works out from the samples of its first
// curve, drawn over the plot with that curve: dashed vertical lines at given
// frequencies and a one-line text at the plot's top right.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "color_ref.h"

namespace korvel {

struct ChartOverlay {
    std::vector<double> linesAtHz;
    QString text;  // empty: none
};

// Called with the samples of one drawing (the same values the curve shows)
// and the chart's frequency plan.
using ChartOverlayFunction =
    std::function<ChartOverlay(std::span<const double> samples, uint32_t startHz, uint32_t stepHz)>;

// The colour halfway between `color` and `background`, channel by channel:
// how a held reference curve stands back from the live one.
constexpr ColorRef DimmedColor(ColorRef color, ColorRef background) {
    return RGB((RedOf(color) + RedOf(background)) / 2, (GreenOf(color) + GreenOf(background)) / 2,
               (BlueOf(color) + BlueOf(background)) / 2);
}

}  // namespace korvel
