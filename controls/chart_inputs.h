// Everything one drawing of the line chart depends on: its size, its fields
// and the samples it plotted. The chart keeps the inputs of the picture it
// holds and draws anew only when they differ, so an unchanged picture follows
// from equal inputs.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "color_ref.h"

namespace korvel {

inline constexpr int kChartCurves = 10;

struct ChartFields {
    int width = 0;
    int height = 0;
    uint32_t xPointCount = 0;
    uint32_t startFreqHz = 0;
    uint32_t stepHz = 0;
    ColorRef backColor = 0;
    ColorRef gridColor = 0;
    QString xUnit;
    QString yUnit;
    QString cursorText;
    int32_t cursorIndex = 0;
    int32_t swrScale = 0;
    std::array<ColorRef, kChartCurves> curveColor{};
    std::array<uint32_t, kChartCurves> curveCount{};
    std::array<uint8_t, kChartCurves> curveShown{};
    std::array<int32_t, kChartCurves> curveMarkMin{};
    std::array<QString, kChartCurves> curveName;
    std::array<uint8_t, kChartCurves> curveLabelLast{};
    std::array<int32_t, kChartCurves> curveDecimals{};
    uint8_t overlayShown = 0;

    bool operator==(const ChartFields&) const = default;
};

struct ChartInputs {
    ChartFields fields;
    // The samples of each shown curve (empty for the others).
    std::array<std::vector<double>, kChartCurves> samples;
    // The held reference copy of the first curve (empty: none).
    std::vector<double> held;
};

// Samples compare by their bits: a sample without a value (NaN) equals
// itself, and -0 differs from +0, whose labels print differently.
bool operator==(const ChartInputs& a, const ChartInputs& b);

}  // namespace korvel
